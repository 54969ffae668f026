#include <gmock/gmock.h>

#include <algorithm>
#include <utility>

#include "system/system_folders_win.hpp"
#include "window/tests/window_harness.hpp"

namespace tornak::testing {
namespace {

// The rectangles at 96 DPI, in pixels, worked out by hand from the design's twips (15 twips a
// pixel), in creation order.
const LayoutRect kPixelsAt96[] = {
    {4, 40, 73, 13},   {88, 38, 37, 17},  {128, 38, 37, 17}, {4, 68, 73, 13},
    {88, 65, 161, 17}, {4, 96, 73, 13},   {88, 93, 161, 17}, {4, 4, 505, 17},
    {256, 28, 253, 25}, {256, 56, 253, 25}, {256, 84, 253, 25}, {172, 40, 73, 13},
};

TEST(Layout, TwipsScaleWithTheDisplay) {
  ASSERT_EQ(std::size(kPixelsAt96), kControls.size());
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    SCOPED_TRACE(std::string(kControls[i].name));
    EXPECT_EQ(ScaleToDpi(kControls[i].twips, 96), kPixelsAt96[i]);
    const LayoutRect at144 = ScaleToDpi(kControls[i].twips, 144);
    const LayoutRect& at96 = kPixelsAt96[i];
    for (auto [big, small] : {std::pair{at144.left, at96.left}, {at144.top, at96.top}, {at144.width, at96.width},
                               {at144.height, at96.height}})
      EXPECT_NEAR(big, small * 1.5, 1.0);
  }
  EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 96), 514);
  EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 96), 114);
  EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 144), 771);
  EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 144), 171);
}

using RealWindow = WindowTest;

// Every caption, and the longest text each read-out normally shows, fits its control's client
// area in the control's own font: nothing is clipped.
void ExpectTextFits(HWND control, const std::wstring& text, int margin) {
  const SIZE extent = TextExtent(control, text, nullptr);
  RECT client{};
  GetClientRect(control, &client);
  EXPECT_LE(extent.cx + margin, client.right) << text;
  EXPECT_LE(extent.cy, client.bottom) << text;
}

void ExpectAllTextFits(const MainWindow& window) {
  for (const ControlRow& row : kControls) {
    HWND control = window.Control(row.name);
    // Push buttons draw their caption inside a few pixels of edge and focus frame.
    if (!row.caption.empty()) ExpectTextFits(control, Wide(row.caption), row.kind == ControlKind::PushButton ? 8 : 0);
  }
  for (const wchar_t* text : {L"No device", L"New driver", L"Old driver"}) ExpectTextFits(window.Control("DriverType"), text, 0);
  for (const char* name : {"Rvid", "Rpid"}) ExpectTextFits(window.Control(name), L"EA61", 0);
}

// The DPI ctest set the display to for this run (TORNAK_TEST_DPI), 96 unless it says otherwise:
// a display that stayed at 96 cannot pass for another.
unsigned TestedDpi() {
  wchar_t named[16]{};
  return GetEnvironmentVariableW(L"TORNAK_TEST_DPI", named, 16) > 0 ? static_cast<unsigned>(_wtoi(named)) : 96;
}

// The width of one of the window's icons (ICON_SMALL, ICON_BIG); 0 for none.
int IconWidth(HWND window, WPARAM which) {
  ICONINFO info{};
  if (!GetIconInfo(CarriedIn<HICON>(SendMessageW(window, WM_GETICON, which, 0)), &info)) return 0;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

// Every control at its twips and the dialog font's 8 points at `dpi`, the tooltip in Windows'
// tooltip font at that DPI, and the icons at the sizes the caption and the taskbar ask for there
// (at the session's where Windows draws the frame for it on every monitor).
void ExpectLaidOutFor(const MainWindow& window, unsigned dpi, DpiTier tier) {
  EXPECT_EQ(window.Dpi(), dpi);
  for (const ControlRow& row : kControls)
    EXPECT_EQ(RectInParent(window.Control(row.name)), ScaleToDpi(row.twips, dpi)) << row.name;
  LOGFONTW font{};
  GetObjectW(CarriedIn<HFONT>(SendMessageW(window.Control("Label1"), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(8, static_cast<int>(dpi), 72));
  NONCLIENTMETRICSW system{};
  system.cbSize = sizeof system;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof system, &system, 0));
  GetObjectW(CarriedIn<HFONT>(SendMessageW(window.Tooltips(), WM_GETFONT, 0, 0)), sizeof font, &font);
  const int scaled = static_cast<int>(dpi);
  EXPECT_NEAR(font.lfHeight, MulDiv(system.lfStatusFont.lfHeight, scaled, static_cast<int>(DisplayDpi())), 1);
  const bool framePerMonitor = tier == DpiTier::PerMonitorV2;
  EXPECT_EQ(IconWidth(window.Handle(), ICON_SMALL),
            framePerMonitor ? MulDiv(16, scaled, 96) : GetSystemMetrics(SM_CXSMICON));
  EXPECT_EQ(IconWidth(window.Handle(), ICON_BIG),
            framePerMonitor ? MulDiv(32, scaled, 96) : GetSystemMetrics(SM_CXICON));
  ExpectAllTextFits(window);
}

// The window takes the display's DPI when it opens; the tests below then check every rectangle
// and text at that DPI. ctest runs them once more on a display set to 144 DPI.
TEST_F(RealWindow, OpensAtTheDisplaysDpi) {
  Open();
  EXPECT_EQ(window->Dpi(), DisplayDpi());
  EXPECT_EQ(DisplayDpi(), TestedDpi());
}

constexpr UINT kOtherDpi = 168;  // a monitor's, other than the display's in every run

// Created where Windows chose, on a second monitor of another DPI, until it is moved.
UINT WINAPI DpiOfTheMonitorCreatedOn(HWND window) {
  static HWND created = nullptr;
  static POINT at{};
  RECT now{};
  GetWindowRect(window, &now);
  if (std::exchange(created, window) != window) at = {now.left, now.top};
  return now.left == at.x && now.top == at.y ? kOtherDpi : DisplayDpi();
}

// The window that asked for its frame to scale per monitor before it had any controls, so while
// it was being created.
HWND frameScaledAtCreation = nullptr;
BOOL WINAPI NoteFrameScaling(HWND window) {
  if (GetWindow(window, GW_CHILD) == nullptr) frameScaledAtCreation = window;
  return FALSE;
}

TEST_F(RealWindow, CreatedOnAMonitorOfAnotherDpiEndsCentredAndLaidOutForThePrimaryMonitors) {
  dpiFakes = {{"GetDpiForWindow", Fake(&DpiOfTheMonitorCreatedOn)},
              {"EnableNonClientDpiScaling", Fake(&NoteFrameScaling)}};
  Open();
  EXPECT_EQ(frameScaledAtCreation, Hwnd());
  EXPECT_EQ(ClassOf(Hwnd()), kWindowClassName);
  EXPECT_EQ(WindowText(Hwnd()), L"Kavren PID changer");
  const LONG_PTR style = GetWindowLongPtrW(Hwnd(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_NE(GetClassLongPtrW(Hwnd(), GCLP_HICON), 0);
  EXPECT_NE(GetClassLongPtrW(Hwnd(), GCLP_HICONSM), 0);

  ExpectLaidOutFor(*window, DisplayDpi(), dpi->Tier());
  RECT client{};
  GetClientRect(Hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, DisplayDpi()));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, DisplayDpi()));

  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT frame{};
  GetWindowRect(Hwnd(), &frame);
  EXPECT_NEAR(frame.left + frame.right, monitor.rcWork.left + monitor.rcWork.right, 1);
  EXPECT_NEAR(frame.top + frame.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);
}

TEST_F(RealWindow, ControlsInCreationOrderWithTheirKindCaptionBorderAndRectangle) {
  Open();
  HWND child = GetWindow(Hwnd(), GW_CHILD);
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(std::string(row.name));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child, window->Control(row.name));
    const bool button = row.kind == ControlKind::PushButton;
    EXPECT_EQ(ClassOf(child), button ? L"Button" : L"Static");
    // Form_Load has already run a probe, which wrote the driver type over its caption.
    EXPECT_EQ(WindowText(child), row.name == "DriverType" ? L"No device" : Wide(row.caption));
    EXPECT_EQ(RectInParent(child), ScaleToDpi(row.twips, window->Dpi()));
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(child, GWL_EXSTYLE);
    EXPECT_EQ((style & WS_TABSTOP) != 0, button);
    if (button) {
      EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
    } else {
      EXPECT_EQ(style & SS_TYPEMASK, SS_LEFTNOWORDWRAP);
      EXPECT_TRUE(style & SS_NOPREFIX);
    }
    EXPECT_EQ((exStyle & WS_EX_STATICEDGE) != 0, row.border);
    EXPECT_FALSE(exStyle & (WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE));
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
  ExpectAllTextFits(*window);
}

TEST_F(RealWindow, FocusStartsOnTheFirstButtonAndTabCyclesTheThree) {
  Open();
  Pump(100);
  HWND kavren = window->Control("SetKavrenPID");
  EXPECT_EQ(GetFocus(), kavren);
  HWND next = GetNextDlgTabItem(Hwnd(), kavren, FALSE);
  EXPECT_EQ(next, window->Control("SetSilabsPID"));
  next = GetNextDlgTabItem(Hwnd(), next, FALSE);
  EXPECT_EQ(next, window->Control("SetSilabsPIDxpress"));
  EXPECT_EQ(GetNextDlgTabItem(Hwnd(), next, FALSE), kavren);
}

// The window on each tier of DPI support it meets, from Windows 10's per-monitor v2 down to the
// one DPI of Windows 7 and 8; ctest runs these at 96, 120 and 144 DPI. The other tests run on the
// newest tier.
class DpiTiers : public WindowTest, public ::testing::WithParamInterface<DpiTier> {};

TEST_P(DpiTiers, ClientAreaControlsFontsAndIconsFollowTheDpiInForce) {
  dpiTier = GetParam();
  Open();
  ASSERT_EQ(dpi->Tier(), GetParam()) << "Wine lacks a function of this tier";
  const unsigned display = DisplayDpi();
  EXPECT_EQ(display, TestedDpi());
  ExpectLaidOutFor(*window, display, GetParam());
  RECT client{};
  GetClientRect(Hwnd(), &client);
  RECT frame{};
  GetWindowRect(Hwnd(), &frame);
  EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, display));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, display));
  // The measured sizes, in the report of --gtest_output=xml.
  RecordProperty("at_" + std::to_string(display) + "_dpi",
                 "client " + std::to_string(client.right) + " x " + std::to_string(client.bottom) + ", frame " +
                     std::to_string(frame.right - frame.left) + " x " + std::to_string(frame.bottom - frame.top) +
                     ", icons " + std::to_string(IconWidth(Hwnd(), ICON_SMALL)) + " and " +
                     std::to_string(IconWidth(Hwnd(), ICON_BIG)));
  if (GetParam() == DpiTier::System) return;  // Windows 7 and 8 send no WM_DPICHANGED

  // Dragged onto a monitor of another DPI. From 1703 on Windows first asks the window its size
  // there, and suggests a rectangle of that size, which the window takes as it stands; a
  // suggestion of another size (8.1 and 10 before 1703 scale the frame with the client area) gives
  // only the top-left. A message sent here moves the window to no other monitor, so on the newest
  // tier its frame stays drawn for the old DPI where Windows would redraw it for the new one.
  const unsigned moved = display == 144 ? 96 : 144;
  SIZE answered{};
  EXPECT_TRUE(SendMessageW(Hwnd(), kGetDpiScaledSizeMessage, moved, reinterpret_cast<LPARAM>(&answered)));
  for (RECT suggested : {RECT{90, 80, 90 + answered.cx, 80 + answered.cy}, RECT{100, 100, 900, 400}}) {
    SendMessageW(Hwnd(), WM_DPICHANGED, MAKEWPARAM(moved, moved), reinterpret_cast<LPARAM>(&suggested));
    ExpectLaidOutFor(*window, moved, GetParam());
    GetWindowRect(Hwnd(), &frame);
    EXPECT_EQ(std::pair(frame.left, frame.top), std::pair(suggested.left, suggested.top));
    EXPECT_EQ(std::pair(frame.right - frame.left, frame.bottom - frame.top), std::pair(answered.cx, answered.cy));
  }
  GetClientRect(Hwnd(), &client);
  if (GetParam() == DpiTier::PerMonitor) {
    EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, moved));
    EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, moved));
  }
}

// With fakes that answer for a monitor of another DPI than the screen's, or fail.
UINT WINAPI MonitorsDpiForWindow(HWND) { return kOtherDpi; }
UINT WINAPI FailedDpiForWindow(HWND) { return 0; }
HRESULT WINAPI MonitorsDpi(HMONITOR, int, UINT* x, UINT* y) {
  *x = *y = kOtherDpi;
  return S_OK;
}
HRESULT WINAPI FailedMonitorDpi(HMONITOR, int, UINT* x, UINT* y) {
  *x = *y = 0;
  return E_INVALIDARG;
}
BOOL WINAPI FrameOfAnEighthInch(RECT* rect, DWORD, BOOL, DWORD, UINT dpi) {
  const int eighth = static_cast<int>(dpi) / 8;
  return InflateRect(rect, eighth, eighth);
}

unsigned WindowDpiWith(DpiTier tier, const char* name, DpiFunctionSource::AnyFunction fake) {
  const DpiCompatibility dpi(std::make_unique<FakeDpiFunctions>(tier, std::map{std::pair{std::string(name), fake}}));
  EXPECT_EQ(dpi.Tier(), tier);
  return dpi.WindowDpi(GetDesktopWindow());
}

TEST(DpiFunctions, WindowDpiIsTheMonitorsOnEitherPerMonitorTierAndTheScreensWhereThatFails) {
  EXPECT_EQ(WindowDpiWith(DpiTier::PerMonitorV2, "GetDpiForWindow", Fake(&MonitorsDpiForWindow)), kOtherDpi);
  EXPECT_EQ(WindowDpiWith(DpiTier::PerMonitor, "GetDpiForMonitor", Fake(&MonitorsDpi)), kOtherDpi);
  EXPECT_EQ(WindowDpiWith(DpiTier::PerMonitorV2, "GetDpiForWindow", Fake(&FailedDpiForWindow)), DisplayDpi());
  EXPECT_EQ(WindowDpiWith(DpiTier::PerMonitor, "GetDpiForMonitor", Fake(&FailedMonitorDpi)), DisplayDpi());
}

TEST(DpiFunctions, TheNewestTiersFrameIsWindowsFrameAtTheDpiGiven) {
  const DpiCompatibility dpi(std::make_unique<FakeDpiFunctions>(
      DpiTier::PerMonitorV2, std::map{std::pair{std::string("AdjustWindowRectExForDpi"), Fake(&FrameOfAnEighthInch)}}));
  const SIZE outer = dpi.FrameSize({500, 100}, WS_CAPTION, 0, kOtherDpi);
  EXPECT_EQ(std::pair(outer.cx, outer.cy), std::pair(500L + 42, 100L + 42));
}

TEST(DpiFunctions, EachSetOfMissingFunctionsGivesItsTierAndLibrariesComeFromTheSystemFolder) {
  const std::pair<std::set<std::string>, DpiTier> cases[] = {
      {{"GetSystemMetricsForDpi", "SystemParametersInfoForDpi", "GetDpiForMonitor"}, DpiTier::PerMonitorV2},
      {{"GetDpiForWindow"}, DpiTier::PerMonitor},
      {{"AdjustWindowRectExForDpi"}, DpiTier::PerMonitor},
      {{"EnableNonClientDpiScaling"}, DpiTier::PerMonitor},
      {{"EnableNonClientDpiScaling", "GetDpiForMonitor"}, DpiTier::System},
  };
  for (const auto& [missing, tier] : cases) {
    auto functions = std::make_unique<FakeDpiFunctions>(DpiTier::PerMonitorV2);
    functions->missing = missing;
    const FakeDpiFunctions& asked = *functions;
    const DpiCompatibility dpi(std::move(functions));
    EXPECT_EQ(dpi.Tier(), tier) << ::testing::PrintToString(missing);
    const std::wstring shcore = SystemFolder() + L"shcore.dll";
    EXPECT_THAT(asked.libraries, ::testing::Each(::testing::AnyOf(SystemFolder() + L"user32.dll", shcore)));
    EXPECT_EQ(std::count(asked.libraries.begin(), asked.libraries.end(), shcore) != 0, tier != DpiTier::PerMonitorV2);
  }
}

std::string TierName(const ::testing::TestParamInfo<DpiTier>& tier) {
  switch (tier.param) {
    case DpiTier::PerMonitorV2: return "PerMonitorV2";
    case DpiTier::PerMonitor: return "PerMonitor";
    case DpiTier::System: return "System";
  }
  return "Unknown";
}
INSTANTIATE_TEST_SUITE_P(, DpiTiers, ::testing::Values(DpiTier::PerMonitorV2, DpiTier::PerMonitor, DpiTier::System),
                         TierName);

}  // namespace
}  // namespace tornak::testing
