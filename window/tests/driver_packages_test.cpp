// The driver packages each preset's identity has on this PC, read through SetupAPI from planted
// packages, and what the preset buttons' tooltips tell of them.
#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>

#include "identity/driver_packages.hpp"
#include "window/driver_package_reader.hpp"
#include "window/tests/window_harness.hpp"

namespace tornak::testing {
namespace {

namespace fs = std::filesystem;

// A folder of planted packages, gone with the test.
class PlantedFolder {
 public:
  explicit PlantedFolder(const std::string& name)
      : path_(fs::temp_directory_path() / ("tornak-packages-" + name + "-" + std::to_string(GetCurrentProcessId()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~PlantedFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  PlantedFolder(const PlantedFolder&) = delete;
  PlantedFolder& operator=(const PlantedFolder&) = delete;

  void Plant(const std::string& file, const std::string& text) const {
    std::ofstream(path_ / file, std::ios::binary) << text;
  }
  std::wstring Folder() const { return path_.wstring() + L"\\"; }

 private:
  fs::path path_;
};

// The decoration of the models Windows reads here, and one it does not: a 32-bit program on
// 64-bit Windows reads the 64-bit models.
std::string NativeDecoration() {
  SYSTEM_INFO native{};
  GetNativeSystemInfo(&native);
  return native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? "NTamd64" : "NTx86";
}
std::string OtherDecoration() { return NativeDecoration() == "NTamd64" ? "NTx86" : "NTamd64"; }

// A package as vendors write them: the provider and the models' descriptions by string key.
std::string Package(const std::string& decoration, const std::string& modelLines) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Ports\r\n"
         "ClassGuid={4D36E978-E325-11CE-BFC1-08002BE10318}\r\nProvider=%ProviderName%\r\n"
         "DriverVer=06/01/2026,1.0.0.7\r\n\r\n[Manufacturer]\r\n%MfgName%=Models," +
         decoration + "\r\n\r\n[Models." + decoration + "]\r\n" + modelLines +
         "\r\n[Strings]\r\nProviderName=\"Kavren Bench Tools\"\r\nMfgName=\"Kavren\"\r\nDesc=\"Bridge\"\r\n";
}
std::string NativePackage(const std::string& modelLines) { return Package(NativeDecoration(), modelLines); }

// How a survey reads: per preset, "none", "unchecked", or the installed names of its packages.
std::vector<std::string> Summary(const PackageSurvey& survey) {
  std::vector<std::string> summary;
  for (const IdentityPackages& identity : survey) {
    std::string names;
    for (const DriverPackage& package : identity.packages) names += (names.empty() ? "" : " ") + WideToUtf8(Wide(package.installedName));
    summary.push_back(!names.empty() ? names : identity.checked ? "none" : "unchecked");
  }
  return summary;
}

TEST(DriverPackageReader, NamesAnIdentityOnlyInTheModelsForThisWindowsAndCannotSayWhatItCouldNotRead) {
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> expected;  // 840E, EA60, EA61
  } cases[] = {
      {"the ID, with a revision and in other case without",
       {{"oem3.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_EA61\r\n"
                                   "%Desc%=Install,usb\\vid_10c4&pid_ea60&rev_0100,USB\\VID_10C4&PID_EA60\r\n")}},
       {"none", "oem3.inf", "oem3.inf"}},
      {"the ID for another architecture only",
       {{"oem4.inf", Package(OtherDecoration(), "%Desc%=Install,USB\\VID_10C4&PID_EA61\r\n")}},
       {"none", "none", "none"}},
      {"the ID for Windows 7 and later on any architecture, which only x86 Windows takes",
       {{"oem10.inf", Package("NT.6.1", "%Desc%=Install,USB\\VID_10C4&PID_EA61\r\n")}},
       {"none", "none", NativeDecoration() == "NTx86" ? "oem10.inf" : "none"}},
      {"a shorter product ID, a longer one and a revision cut short",
       {{"oem5.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_EA6\r\n%Desc%=Install,USB\\VID_10C4&PID_EA610\r\n"
                                   "%Desc%=Install,USB\\VID_10C4&PID_840E&REV_01\r\n")}},
       {"none", "none", "none"}},
      {"the ID in comments",
       {{"oem6.inf", NativePackage("; %Desc%=Install,USB\\VID_10C4&PID_EA61\r\n"
                                   "%Desc%=Install,USB\\VID_10C4&PID_EA62 ; USB\\VID_10C4&PID_EA60\r\n")}},
       {"none", "none", "none"}},
      {"a package not installed by Windows, beside one that is",
       {{"silabser.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_EA61\r\n")},
        {"oem12.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_840E\r\n")}},
       {"oem12.inf", "none", "none"}},
      {"a damaged package beside a good one",
       {{"oem7.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Manufacturer\r\n%Mfg%=Models\r\n"},
        {"oem8.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_EA60\r\n")}},
       {"unchecked", "oem8.inf", "unchecked"}},
      {"a package of an unknown form",
       {{"oem9.inf", std::string{'\x7f', 'E', 'L', 'F', '\x02', '\0', '\0', '[', 'M', ']', '\xff', '\xfe', '\0'}}},
       {"unchecked", "unchecked", "unchecked"}},
  };
  for (const auto& c : cases) {
    const PlantedFolder folder("reader");
    for (const auto& [name, text] : c.files) folder.Plant(name, text);
    EXPECT_EQ(Summary(ReadDriverPackages(folder.Folder())), c.expected) << c.what;
  }
  EXPECT_EQ(Summary(ReadDriverPackages(L"C:\\tornak-no-such-folder\\")), std::vector<std::string>(3, "unchecked"))
      << "a folder that cannot be read";

  // What the tooltip names of a package: its %strkey% resolved, its class, version and date.
  const PlantedFolder folder("details");
  folder.Plant("oem3.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_EA61\r\n"));
  const PackageSurvey survey = ReadDriverPackages(folder.Folder());
  ASSERT_EQ(survey[2].packages.size(), 1U);
  const DriverPackage& package = survey[2].packages.front();
  EXPECT_EQ(package.installedName, u"oem3.inf");
  EXPECT_EQ(package.provider, u"Kavren Bench Tools");
  EXPECT_EQ(package.className, u"Ports");
  EXPECT_EQ(package.version, u"1.0.0.7");
  EXPECT_EQ(package.date, u"06/01/2026");
}

class ButtonTooltips : public WindowTest {
 protected:
  std::wstring Tip(std::size_t preset) const {
    return TipOf(window->ButtonTooltips(), window->Control(kIdentityPresets[preset].button)).value_or(L"<no tool>");
  }
  bool PumpUntilTip(std::size_t preset, const std::wstring& text, DWORD ms) {
    return Pump(ms, [&] { return Tip(preset) == text; });
  }

  static constexpr std::wstring_view kNoPackage =
      L"No driver package on this PC names this ID. Windows looks on Windows Update only if the PC is online and "
      L"allowed to. Until a driver is installed the bridge has no driver, tornak shows No device, and no button "
      L"here can switch it back.";

  PlantedFolder folder{"window"};
};

// The first reading of the packages is under way while the window opens; the tooltips have it
// within this bound.
constexpr DWORD kFirstReadingMs = 3000;
// A package added with no device-change message, no bridge plugged or pressed: the folder's watch
// alone sees it, within this bound.
constexpr DWORD kSeenWithoutADeviceChangeMs = kPackageFolderSettleMs + 3000;

TEST_F(ButtonTooltips, EachTellsWhatAPressWritesAndWhichPackagesNameItsIdentityAsTheFolderChanges) {
  folder.Plant("oem1.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_EA60\r\n"));
  packagesFolder = folder.Folder();
  Open();
  for (std::size_t i = 0; i < kIdentityPresets.size(); ++i)
    EXPECT_EQ(Tip(i), L"No single bridge: a press writes nothing.") << i;

  // The bridge shown is under the EA60 identity, which oem1.inf names.
  newFake.numDevices = 1;
  ASSERT_TRUE(PumpUntilField("Rpid", L"EA60"));
  const std::wstring oem1 = L"  oem1.inf (original name not known): Kavren Bench Tools, class Ports, version 1.0.0.7, "
                            L"dated 06/01/2026";
  EXPECT_TRUE(PumpUntilTip(1,
                           L"The bridge has this identity now, served by this driver package:\r\n" + oem1 +
                               L"\r\nA press writes the same IDs again and resets it.",
                           kFirstReadingMs))
      << WideToUtf8(Tip(1));
  const std::wstring writesEa61 =
      L"Writes product ID EA61 and vendor ID 10C4 into the bridge, then resets it; it returns as "
      L"USB\\VID_10C4&PID_EA61.\r\n";
  EXPECT_EQ(Tip(2), writesEa61 + std::wstring(kNoPackage));
  EXPECT_EQ(Tip(0),
            L"Writes product ID 840E and vendor ID 10C4 into the bridge, then resets it; it returns as "
            L"USB\\VID_10C4&PID_840E.\r\n" + std::wstring(kNoPackage));

  folder.Plant("oem2.inf", NativePackage("%Desc%=Install,USB\\VID_10C4&PID_EA61&REV_0100\r\n"));
  const std::wstring oem2 = L"  oem2.inf (original name not known): Kavren Bench Tools, class Ports, version 1.0.0.7, "
                            L"dated 06/01/2026";
  EXPECT_TRUE(PumpUntilTip(2, writesEa61 + L"Driver packages on this PC for this ID:\r\n" + oem2,
                           kSeenWithoutADeviceChangeMs))
      << WideToUtf8(Tip(2));

  // The tooltips take the window's font, and wrap at a width scaled to its DPI.
  const HWND tips = window->ButtonTooltips();
  // The tooltip keeps a copy of the font it is given.
  auto fontOf = [](HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::make_pair(font.lfHeight, std::wstring(font.lfFaceName));
  };
  EXPECT_EQ(fontOf(tips), fontOf(window->Control("SetSilabsPID")));
  EXPECT_EQ(SendMessageW(tips, TTM_GETMAXTIPWIDTH, 0, 0), TwipsToPixels(5040, window->Dpi()));

  // Resting the pointer on a button shows its tooltip.
  SetForegroundWindow(Hwnd());
  RECT button{};
  GetWindowRect(window->Control("SetSilabsPIDxpress"), &button);
  for (int nudge : {0, 1}) {
    SetCursorPos((button.left + button.right) / 2 + nudge, (button.top + button.bottom) / 2);
    Pump(50);
  }
  EXPECT_TRUE(Pump(3000, [&] { return IsWindowVisible(tips) != FALSE; })) << "no tooltip over the button";
  SetCursorPos(4, 4);
}

TEST_F(ButtonTooltips, SayWhenThePackagesCouldNotBeChecked) {
  packagesFolder = L"C:\\tornak-no-such-folder\\";
  newFake.numDevices = 1;
  Open();
  ASSERT_TRUE(PumpUntilField("DriverType", L"New driver"));
  EXPECT_TRUE(PumpUntilTip(2,
                           L"Writes product ID EA61 and vendor ID 10C4 into the bridge, then resets it; it returns as "
                           L"USB\\VID_10C4&PID_EA61.\r\ntornak could not check this PC's driver packages.",
                           kFirstReadingMs))
      << WideToUtf8(Tip(2));
  EXPECT_EQ(Tip(1),
            L"The bridge has this identity now.\r\ntornak could not check this PC's driver packages.\r\n"
            L"A press writes the same IDs again and resets it.");
}

}  // namespace
}  // namespace tornak::testing
