#include "sim/tool/driver_packages.hpp"

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "convert/hex_digits.hpp"
#include "identity/presets.hpp"
#include "sim/platform.hpp"
#include "sim/state/state_file.hpp"
#include "sim/state/store.hpp"
#include "sim/tool/driver_package_inf.hpp"  // kDriverPackageInfTemplate, made from driver_package.inf.in

namespace tornak::sim {
namespace {

// The preset's hex digits as ParseId reads them; they are ASCII.
std::uint16_t PresetId(std::u16string_view digits) {
  std::string text;
  for (char16_t c : digits) text += static_cast<char>(c);
  return ParseId(text).value();
}

std::string Replaced(std::string text, std::string_view from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A UTF-8 path, as the tool prints it: with the folder's own separator.
std::string PackagePath(const std::string& folder, UsbId id) {
  return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + DriverPackageFileName(id);
}

}  // namespace

std::string DriverPackageFileName(UsbId id) {
  // Windows names an installed package oem<number>.inf, and the window reads only such names; the
  // number here is the VID and the PID in five decimal digits each, so each identity has its own.
  char digits[11];
  std::snprintf(digits, sizeof digits, "%05u%05u", static_cast<unsigned>(id.vid), static_cast<unsigned>(id.pid));
  return std::string("oem") + digits + ".inf";
}

std::string DriverPackageInf(UsbId id) {
  return Replaced(Replaced(kDriverPackageInfTemplate, "@VID@", HexDigits(id.vid, 4)), "@PID@", HexDigits(id.pid, 4));
}

std::vector<UsbId> PresetIds() {
  std::vector<UsbId> ids;
  ids.reserve(kIdentityPresets.size());
  for (const IdentityPreset& preset : kIdentityPresets)
    ids.push_back({PresetId(kVendorIdText), PresetId(preset.pidText)});
  return ids;
}

std::string WriteDriverPackage(const std::string& folder, UsbId id) {
  std::string path = PackagePath(folder, id);
  ReplaceFile(path, DriverPackageInf(id));
  return path;
}

std::string RemoveDriverPackage(const std::string& folder, UsbId id) {
  std::string path = PackagePath(folder, id);
  std::filesystem::remove(platform::FilePath(path));
  return path;
}

}  // namespace tornak::sim
