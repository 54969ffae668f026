#include <gmock/gmock.h>

#include <cstring>
#include <string>

#include "system/handles_win.hpp"
#include "system/program_folder.hpp"
#include "window/resource_ids.h"

namespace tornak {
namespace {

// The program itself, built beside this test.
std::wstring ProgramPath() { return ProgramFolder() + L"tornak.exe"; }

TEST(ProgramResources, VersionRecord) {
  const std::wstring program = ProgramPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
  ASSERT_NE(size, 0u) << "no version record in tornak.exe";
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(3, 0));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 1));
  EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(3, 0));

  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"FileVersion", L"1.01.0003"}, {L"ProductVersion", L"1.01.0003"},    {L"ProductName", L"Tornak"},
      {L"InternalName", L"tornak"},   {L"OriginalFilename", L"tornak.exe"}, {L"CompanyName", L"Kavren"},
  };
  for (const auto& [name, expected] : strings) {
    wchar_t* value = nullptr;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    ASSERT_TRUE(VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << key;
    EXPECT_STREQ(value, expected) << key;
  }
}

// One image per common scale, so that Windows stretches none: 24-bit colour up to 64 px, and
// 256 px as PNG.
TEST(ProgramResources, IconAtEveryCommonScaleAndTheManifest) {
  UniqueModule program(LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(program);

#pragma pack(push, 2)
  struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
  };
#pragma pack(pop)
  HRSRC group = FindResourceW(program.Get(), MAKEINTRESOURCEW(IDI_TORNAK), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* header = static_cast<const WORD*>(LockResource(LoadResource(program.Get(), group)));
  const auto* entries = reinterpret_cast<const GroupEntry*>(header + 3);
  std::vector<std::pair<int, int>> sizes;
  for (WORD i = 0; i < header[2]; ++i) {
    const int width = entries[i].width == 0 ? 256 : entries[i].width;
    HRSRC image = FindResourceW(program.Get(), MAKEINTRESOURCEW(entries[i].id), RT_ICON);
    ASSERT_NE(image, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(program.Get(), image)));
    if (std::memcmp(data, "\x89PNG", 4) == 0) {
      sizes.emplace_back(width, 0);
      EXPECT_EQ(data[16] << 24 | data[17] << 16 | data[18] << 8 | data[19], width);  // IHDR's width
      continue;
    }
    const auto* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    EXPECT_EQ(bitmap->biWidth, width);
    sizes.emplace_back(width, bitmap->biBitCount);
  }
  EXPECT_THAT(sizes, ::testing::UnorderedElementsAre(std::pair{16, 24}, std::pair{20, 24}, std::pair{24, 24},
                                                     std::pair{32, 24}, std::pair{40, 24}, std::pair{48, 24},
                                                     std::pair{64, 24}, std::pair{256, 0}));

  HRSRC manifest = FindResourceW(program.Get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(program.Get(), manifest))),
                         SizeofResource(program.Get(), manifest));
  EXPECT_THAT(text, ::testing::HasSubstr("PerMonitorV2"));
  EXPECT_THAT(text, ::testing::HasSubstr(">true/pm<"));
  // Windows 7, 8, 8.1 and 10/11: a version the manifest does not name runs the program in its
  // compatibility mode for older programs.
  for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_THAT(text, ::testing::HasSubstr("<supportedOS Id=\"{" + std::string(os) + "}\"/>"));
  EXPECT_THAT(text, ::testing::HasSubstr("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
}

}  // namespace
}  // namespace tornak
