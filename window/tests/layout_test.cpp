#include <gmock/gmock.h>

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

unsigned DisplayDpi() {
  HDC screen = GetDC(nullptr);
  const unsigned dpi = static_cast<unsigned>(GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The window takes the display's DPI when it opens; the tests below then check every rectangle
// and text at that DPI. ctest runs them once more on a display set to 144 DPI, and names that
// DPI in TORNAK_TEST_DPI, so that a display that stayed at 96 cannot pass for it.
TEST_F(RealWindow, OpensAtTheDisplaysDpi) {
  Open();
  EXPECT_EQ(window->Dpi(), DisplayDpi());
  wchar_t expected[16]{};
  if (GetEnvironmentVariableW(L"TORNAK_TEST_DPI", expected, 16) > 0)
    EXPECT_EQ(DisplayDpi(), static_cast<unsigned>(_wtoi(expected)));
  else
    EXPECT_EQ(DisplayDpi(), 96u);
}

TEST_F(RealWindow, FixedFrameCentredWithTheDesignedClientArea) {
  Open();
  EXPECT_EQ(ClassOf(Hwnd()), kWindowClassName);
  EXPECT_EQ(WindowText(Hwnd()), L"Kavren PID changer");
  const LONG_PTR style = GetWindowLongPtrW(Hwnd(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_NE(GetClassLongPtrW(Hwnd(), GCLP_HICON), 0);
  EXPECT_NE(GetClassLongPtrW(Hwnd(), GCLP_HICONSM), 0);

  RECT client{};
  GetClientRect(Hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, window->Dpi()));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, window->Dpi()));

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

// Every control at its twips and the dialog font's 8 points, at `dpi`.
void ExpectLaidOutFor(const MainWindow& window, unsigned dpi) {
  EXPECT_EQ(window.Dpi(), dpi);
  for (const ControlRow& row : kControls)
    EXPECT_EQ(RectInParent(window.Control(row.name)), ScaleToDpi(row.twips, dpi)) << row.name;
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window.Control("Label1"), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(8, static_cast<int>(dpi), 72));
  ExpectAllTextFits(window);
}

// The window on each tier of DPI support it meets, from Windows 10's per-monitor v2 down to the
// one DPI of Windows 7 and 8; ctest runs these at 96 and at 144 DPI. The other tests run on the
// newest tier.
class DpiTiers : public WindowTest, public ::testing::WithParamInterface<DpiTier> {};

TEST_P(DpiTiers, ClientAreaControlsAndFontFollowTheDpiInForce) {
  dpiTier = GetParam();
  Open();
  ASSERT_EQ(dpi->Tier(), GetParam()) << "Wine lacks a function of this tier";
  const unsigned display = DisplayDpi();
  ExpectLaidOutFor(*window, display);
  RECT client{};
  GetClientRect(Hwnd(), &client);
  EXPECT_EQ(client.right, TwipsToPixels(kClientWidthTwips, display));
  EXPECT_EQ(client.bottom, TwipsToPixels(kClientHeightTwips, display));
  // The measured size, in the report of --gtest_output=xml.
  RecordProperty("client_at_" + std::to_string(display) + "_dpi",
                 std::to_string(client.right) + " x " + std::to_string(client.bottom));
  if (GetParam() == DpiTier::System) return;  // Windows 7 and 8 send no WM_DPICHANGED

  // Dragged onto a monitor of another DPI: the window goes where Windows suggests, at the
  // layout's own size there.
  const unsigned moved = display == 144 ? 96 : 144;
  RECT suggested{100, 100, 900, 400};
  SendMessageW(Hwnd(), WM_DPICHANGED, MAKEWPARAM(moved, moved), reinterpret_cast<LPARAM>(&suggested));
  ExpectLaidOutFor(*window, moved);
  RECT frame{};
  GetWindowRect(Hwnd(), &frame);
  EXPECT_EQ(frame.left, 100);
  EXPECT_EQ(frame.top, 100);
  const SIZE wanted{TwipsToPixels(kClientWidthTwips, moved), TwipsToPixels(kClientHeightTwips, moved)};
  if (GetParam() == DpiTier::PerMonitorV2) {
    // A message sent here moves the window to no other monitor, so its frame stays drawn for the
    // old DPI, where Windows would redraw it for the new one: the window takes the size the frame
    // at the new DPI needs around the client area.
    const SIZE outer = dpi->FrameSize(wanted, static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_STYLE)),
                                      static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE)), moved);
    EXPECT_EQ(frame.right - frame.left, outer.cx);
    EXPECT_EQ(frame.bottom - frame.top, outer.cy);
  } else {
    GetClientRect(Hwnd(), &client);
    EXPECT_EQ(client.right, wanted.cx);
    EXPECT_EQ(client.bottom, wanted.cy);
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
