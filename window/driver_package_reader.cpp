#include "window/driver_package_reader.hpp"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <cwctype>
#include <optional>
#include <string_view>
#include <vector>

#include "system/entry_point_win.hpp"
#include "system/handles_win.hpp"
#include "system/system_folders_win.hpp"
#include "system/text_conversions_win.hpp"

namespace tornak {
namespace {

// Closed by SetupCloseInfFile; SetupOpenInfFileW spells "nothing" INVALID_HANDLE_VALUE.
using UniqueInf = UniqueHandle<HINF, SetupCloseInfFile, -1>;

// Bounds on what one reading takes on: a PC holds a few hundred packages, the largest of them
// (graphics drivers) a few megabytes. Beyond these a package, or the rest of the folder, counts as
// unread rather than holding the reading up.
constexpr std::size_t kMaxPackages = 4096;
constexpr ULONGLONG kMaxPackageBytes = 16ULL * 1024 * 1024;
// A hardware ID is at most MAX_DEVICE_ID_LEN (200) characters; a longer field names no preset.
constexpr DWORD kHardwareIdBuffer = 256;

// What decides which models section of a package applies: the native platform and the version of
// the running Windows.
struct Platform {
  WORD architecture = PROCESSOR_ARCHITECTURE_UNKNOWN;  // GetNativeSystemInfo's
  bool emulated = false;  // this process runs on another architecture (32-bit code on 64-bit Windows)
  OSVERSIONINFOEXW version{};
};

Platform ThisPlatform() {
  Platform platform;
  SYSTEM_INFO native{};
  GetNativeSystemInfo(&native);
  SYSTEM_INFO own{};
  GetSystemInfo(&own);
  platform.architecture = native.wProcessorArchitecture;
  platform.emulated = own.wProcessorArchitecture != native.wProcessorArchitecture;
  platform.version.dwOSVersionInfoSize = sizeof platform.version;
  // The program's manifest names every Windows up to 10, so the version is the true one.
  GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&platform.version));
  return platform;
}

// The architecture as a models section's decoration names it ("NTamd64").
std::wstring_view DecorationArchitecture(WORD architecture) {
  switch (architecture) {
    case PROCESSOR_ARCHITECTURE_INTEL:
      return L"x86";
    case PROCESSOR_ARCHITECTURE_AMD64:
      return L"amd64";
    case PROCESSOR_ARCHITECTURE_IA64:
      return L"ia64";
    case PROCESSOR_ARCHITECTURE_ARM:
      return L"arm";
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64, which the Windows 7 headers do not name
      return L"arm64";
    default:
      return L"";
  }
}

// One string field of an INF line, %strkey% resolved by SetupAPI; nullopt when the line has no
// such field.
std::optional<std::wstring> StringField(INFCONTEXT& line, DWORD index) {
  DWORD size = 0;
  if (!SetupGetStringFieldW(&line, index, nullptr, 0, &size) || size == 0) return std::nullopt;
  std::wstring text(size, L'\0');
  if (!SetupGetStringFieldW(&line, index, text.data(), size, nullptr)) return std::nullopt;
  text.resize(std::wcslen(text.c_str()));
  return text;
}

// The first field of the line `key` in `section`; empty when there is none.
std::wstring SectionValue(HINF inf, const wchar_t* section, const wchar_t* key, DWORD index = 1) {
  INFCONTEXT line{};
  if (!SetupFindFirstLineW(inf, section, key, &line)) return {};
  return StringField(line, index).value_or(std::wstring());
}

// One TargetOSVersion decoration of a [Manufacturer] line:
// NT[Architecture][.[OSMajorVersion][.[OSMinorVersion][.[ProductType][.[SuiteMask][.[BuildNumber]]]]]]
struct Decoration {
  std::wstring text;  // as the package writes it, for the section's name
  std::wstring architecture;
  std::array<DWORD, 5> numbers{};  // major, minor, product type, suite mask, build; 0 where not given
};

std::optional<Decoration> ParseDecoration(const std::wstring& text) {
  if (text.size() < 2 || std::towupper(text[0]) != L'N' || std::towupper(text[1]) != L'T') return std::nullopt;
  Decoration decoration{text, {}, {}};
  const std::size_t dot = text.find(L'.', 2);
  decoration.architecture = text.substr(2, dot == std::wstring::npos ? std::wstring::npos : dot - 2);
  std::size_t at = dot;
  for (DWORD& number : decoration.numbers) {
    if (at == std::wstring::npos) break;
    const std::size_t next = text.find(L'.', at + 1);
    const std::wstring part = text.substr(at + 1, next == std::wstring::npos ? std::wstring::npos : next - at - 1);
    number = part.empty() ? 0 : std::wcstoul(part.c_str(), nullptr, 0);
    at = next;
  }
  return decoration;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return tornak::SameIgnoringCase(CoreText(a), CoreText(b));
}

// Whether a decoration's target takes in this Windows: its architecture is the native one (only
// x86 Windows takes a decoration that names none); its version, if given, is not newer; its
// product type, if given, is this one; its suite mask's flags are all this Windows'; its build, if
// given, is not newer.
bool Applies(const Decoration& d, const Platform& platform) {
  const OSVERSIONINFOEXW& v = platform.version;
  const auto [major, minor, productType, suiteMask, build] = d.numbers;
  const bool x86 = platform.architecture == PROCESSOR_ARCHITECTURE_INTEL;
  if (d.architecture.empty() ? !x86 : !SameIgnoringCase(d.architecture, DecorationArchitecture(platform.architecture)))
    return false;
  if (major > v.dwMajorVersion || (major == v.dwMajorVersion && minor > v.dwMinorVersion)) return false;
  if (productType != 0 && productType != v.wProductType) return false;
  if ((suiteMask & v.wSuiteMask) != suiteMask) return false;
  return build <= v.dwBuildNumber;
}

// The documented choice among a [Manufacturer] line's decorations, for Windows whose SetupAPI
// lacks SetupDiGetActualModelsSection (Wine 8 does not export it): of the decorations that apply,
// the one for the newest version, an architecture named over none, then the more specific; with
// none applying, the undecorated section, which only x86 Windows falls back to (every other
// platform needs a decoration that names it).
std::wstring ChooseModelsSection(INFCONTEXT& line, const Platform& platform) {
  const std::optional<std::wstring> base = StringField(line, 1);
  if (!base || base->empty()) return {};
  std::optional<Decoration> best;
  auto rank = [](const Decoration& d) {
    const auto [major, minor, productType, suiteMask, build] = d.numbers;
    return std::array<DWORD, 6>{major, minor, build, d.architecture.empty() ? 0U : 1U, productType, suiteMask};
  };
  const DWORD fields = SetupGetFieldCount(&line);
  for (DWORD i = 2; i <= fields; ++i) {
    const std::optional<std::wstring> text = StringField(line, i);
    if (!text) continue;
    const std::optional<Decoration> decoration = ParseDecoration(*text);
    if (decoration && Applies(*decoration, platform) && (!best || rank(*decoration) > rank(*best))) best = decoration;
  }
  if (best) return *base + L"." + best->text;
  return platform.architecture == PROCESSOR_ARCHITECTURE_INTEL ? *base : std::wstring();
}

using ActualModelsSectionFunction = BOOL(WINAPI*)(PINFCONTEXT, PSP_ALTPLATFORM_INFO, PWSTR, DWORD, PDWORD, PVOID);

// SetupDiGetActualModelsSectionW, where this SetupAPI has it (Windows XP and later; not Wine 8).
ActualModelsSectionFunction ActualModelsSection() {
  static const auto function =
      EntryPointOf<ActualModelsSectionFunction>(GetModuleHandleW(L"setupapi.dll"), "SetupDiGetActualModelsSectionW");
  return function;
}

// The models section of one [Manufacturer] line that applies to this Windows; empty when none does.
std::wstring ModelsSection(INFCONTEXT& line, const Platform& platform) {
  const ActualModelsSectionFunction actual = ActualModelsSection();
  if (actual == nullptr) return ChooseModelsSection(line, platform);
  // Only a program on another architecture than Windows' own names the native one: without it,
  // SetupAPI decides for this process's architecture.
  SP_ALTPLATFORM_INFO_V2 native{};
  native.cbSize = sizeof native;
  native.Platform = VER_PLATFORM_WIN32_NT;
  native.MajorVersion = platform.version.dwMajorVersion;
  native.MinorVersion = platform.version.dwMinorVersion;
  native.ProcessorArchitecture = platform.architecture;
  SP_ALTPLATFORM_INFO_V2* alternate = platform.emulated ? &native : nullptr;
  wchar_t section[MAX_INF_SECTION_NAME_LENGTH + 1]{};
  DWORD size = 0;
  if (!actual(&line, alternate, section, MAX_INF_SECTION_NAME_LENGTH + 1, &size, nullptr)) return {};
  return section;
}

// The name the package had before Windows installed it as oemN.inf; empty when Windows kept none.
// Wine 8 keeps none (it writes no precompiled .pnf with the original name) and answers with the
// installed name itself; the tooltip then says that the original name is not known.
std::wstring OriginalName(HINF inf) {
  DWORD size = 0;
  if (!SetupGetInfInformationW(inf, INFINFO_INF_SPEC_IS_HINF, nullptr, 0, &size) || size == 0) return {};
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));  // aligned as the record is
  auto* information = reinterpret_cast<SP_INF_INFORMATION*>(buffer.data());
  if (!SetupGetInfInformationW(inf, INFINFO_INF_SPEC_IS_HINF, information, size, nullptr)) return {};
  SP_ORIGINAL_FILE_INFO_W original{};
  original.cbSize = sizeof original;
  if (!SetupQueryInfOriginalFileInformationW(information, 0, nullptr, &original)) return {};
  return original.OriginalInfName;
}

DriverPackage Describe(HINF inf, const std::wstring& installedName) {
  DriverPackage package;
  package.originalName = CoreText(OriginalName(inf));
  package.installedName = CoreText(installedName);
  package.provider = CoreText(SectionValue(inf, L"Version", L"Provider"));
  package.className = CoreText(SectionValue(inf, L"Version", L"Class"));
  package.date = CoreText(SectionValue(inf, L"Version", L"DriverVer", 1));
  package.version = CoreText(SectionValue(inf, L"Version", L"DriverVer", 2));
  return package;
}

using PresetsNamed = std::array<bool, kIdentityPresets.size()>;

// Marks the presets whose hardware ID one model line names: its fields from the third on (the
// description and the install section come first).
void MarkNamedPresets(INFCONTEXT& model, PresetsNamed& named) {
  const DWORD fields = SetupGetFieldCount(&model);
  for (DWORD i = 2; i <= fields; ++i) {
    wchar_t id[kHardwareIdBuffer];
    if (!SetupGetStringFieldW(&model, i, id, kHardwareIdBuffer, nullptr)) continue;
    const Text hardwareId = CoreText(id);
    for (std::size_t p = 0; p < kIdentityPresets.size(); ++p)
      named[p] = named[p] || NamesIdentity(hardwareId, kIdentityPresets[p]);
  }
}

// Adds one package to the survey under every preset it names. False when it cannot be read.
bool ReadPackage(const std::wstring& folder, const std::wstring& name, const Platform& platform,
                 PackageSurvey& survey) {
  UINT errorLine = 0;
  const UniqueInf inf(SetupOpenInfFileW((folder + name).c_str(), nullptr, INF_STYLE_WIN4, &errorLine));
  if (!inf) return false;
  PresetsNamed named{};
  INFCONTEXT maker{};
  for (BOOL more = SetupFindFirstLineW(inf.Get(), L"Manufacturer", nullptr, &maker); more;
       more = SetupFindNextLine(&maker, &maker)) {
    const std::wstring section = ModelsSection(maker, platform);
    if (section.empty()) continue;
    INFCONTEXT model{};
    for (BOOL line = SetupFindFirstLineW(inf.Get(), section.c_str(), nullptr, &model); line;
         line = SetupFindNextLine(&model, &model))
      MarkNamedPresets(model, named);
  }
  if (std::none_of(named.begin(), named.end(), [](bool n) { return n; })) return true;
  const DriverPackage package = Describe(inf.Get(), name);
  for (std::size_t p = 0; p < named.size(); ++p)
    if (named[p]) survey[p].packages.push_back(package);
  return true;
}

// oem<digits>.inf: what Windows names an installed package. The search's pattern also takes in
// short names and longer extensions.
bool IsInstalledPackageName(std::wstring_view name) {
  constexpr std::wstring_view kPrefix = L"oem";
  constexpr std::wstring_view kSuffix = L".inf";
  if (name.size() <= kPrefix.size() + kSuffix.size()) return false;
  if (!SameIgnoringCase(name.substr(0, kPrefix.size()), kPrefix) ||
      !SameIgnoringCase(name.substr(name.size() - kSuffix.size()), kSuffix))
    return false;
  const std::wstring_view digits = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  return std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

}  // namespace

std::wstring InstalledPackagesFolder() {
  const std::wstring windows = SharedWindowsFolder();
  return windows.empty() ? std::wstring() : windows + L"INF\\";
}

PackageSurvey ReadDriverPackages(const std::wstring& folder, const std::atomic<bool>* stop) {
  PackageSurvey survey{};
  if (folder.empty()) return survey;
  WIN32_FIND_DATAW found{};
  const UniqueFind find(FindFirstFileW((folder + L"oem*.inf").c_str(), &found));
  // A folder without packages answers "file not found"; one that is missing or barred, otherwise.
  if (!find && GetLastError() != ERROR_FILE_NOT_FOUND) return survey;
  const Platform platform = ThisPlatform();
  bool allRead = true;
  std::size_t packages = 0;
  BOOL more = static_cast<bool>(find);
  for (; more; more = FindNextFileW(find.Get(), &found)) {
    if (stop != nullptr && stop->load()) return PackageSurvey{};
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsInstalledPackageName(found.cFileName))
      continue;
    if (++packages > kMaxPackages) {
      allRead = false;
      break;
    }
    const ULONGLONG bytes = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    if (bytes > kMaxPackageBytes || !ReadPackage(folder, found.cFileName, platform, survey)) allRead = false;
  }
  // A listing that broke off before its end left packages unread.
  if (find && !more && GetLastError() != ERROR_NO_MORE_FILES) allRead = false;
  for (IdentityPackages& identity : survey) identity.checked = allRead || !identity.packages.empty();
  return survey;
}

}  // namespace tornak
