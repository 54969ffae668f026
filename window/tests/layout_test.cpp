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

// The window takes the display's DPI when it opens; the tests below then check every rectangle
// and text at that DPI. ctest runs them once more on a display set to 144 DPI, and names that
// DPI in TORNAK_TEST_DPI, so that a display that stayed at 96 cannot pass for it.
TEST_F(RealWindow, OpensAtTheDisplaysDpi) {
  Open();
  HDC screen = GetDC(nullptr);
  const unsigned displayDpi = static_cast<unsigned>(GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(window->Dpi(), displayDpi);
  EXPECT_EQ(GetDpiForWindow(Hwnd()), displayDpi);
  wchar_t expected[16]{};
  if (GetEnvironmentVariableW(L"TORNAK_TEST_DPI", expected, 16) > 0)
    EXPECT_EQ(displayDpi, static_cast<unsigned>(_wtoi(expected)));
  else
    EXPECT_EQ(displayDpi, 96u);
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

TEST_F(RealWindow, MovingToA144DpiMonitorScalesEveryControlAndTheFont) {
  Open();
  HFONT before = reinterpret_cast<HFONT>(SendMessageW(window->Control("Label1"), WM_GETFONT, 0, 0));
  LOGFONTW small{};
  GetObjectW(before, sizeof small, &small);

  RECT suggested{100, 100, 900, 400};
  SendMessageW(Hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(window->Dpi(), 144u);
  for (const ControlRow& row : kControls)
    EXPECT_EQ(RectInParent(window->Control(row.name)), ScaleToDpi(row.twips, 144)) << row.name;
  LOGFONTW large{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window->Control("Label1"), WM_GETFONT, 0, 0)), sizeof large, &large);
  EXPECT_NEAR(large.lfHeight, small.lfHeight * 1.5, 1.0);
  RECT frame{};
  GetWindowRect(Hwnd(), &frame);
  EXPECT_EQ(frame.left, 100);
  EXPECT_EQ(frame.top, 100);
  ExpectAllTextFits(*window);
}

}  // namespace
}  // namespace tornak::testing
