#include "window/tests/window_harness.hpp"

#include <commctrl.h>
#include <utility>

namespace tornak::testing {

bool Pump(DWORD ms, const std::function<bool()>& done) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ++quitMessages;
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done && done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return !done;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

LayoutRect RectInParent(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

SIZE TextExtent(HWND control, const std::wstring& text, HGDIOBJ font) {
  HDC dc = GetDC(control);
  if (font == nullptr) font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  const HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return extent;
}

std::optional<std::wstring> TipOf(HWND tooltips, HWND control) {
  std::wstring text(4096, L'\0');
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  if (!SendMessageW(tooltips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return std::nullopt;
  tool.lpszText = text.data();
  SendMessageW(tooltips, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
  text.resize(wcslen(text.c_str()));
  return text;
}

FakeDpiFunctions::FakeDpiFunctions(DpiTier newest, std::map<std::string, AnyFunction> fakes)
    : fakes_(std::move(fakes)) {
  if (newest != DpiTier::PerMonitorV2)
    missing = {"GetDpiForWindow", "AdjustWindowRectExForDpi", "EnableNonClientDpiScaling", "GetSystemMetricsForDpi",
               "SystemParametersInfoForDpi"};
  if (newest == DpiTier::System) missing.insert("GetDpiForMonitor");
}

DpiFunctionSource::AnyFunction FakeDpiFunctions::Find(const std::wstring& library, const char* name) {
  libraries.push_back(library);
  if (missing.count(name) != 0) return nullptr;
  if (const auto fake = fakes_.find(name); fake != fakes_.end()) return fake->second;
  return system_.Find(library, name);
}

unsigned DisplayDpi() {
  HDC screen = GetDC(nullptr);
  const unsigned dpi = static_cast<unsigned>(GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(nullptr, screen);
  return dpi;
}

WindowTest::WindowTest() {
  newFake.numDevices = 0;
  oldFake.numDevices = 0;
}

WindowTest::~WindowTest() {
  window.reset();
  Pump(0);
}

void WindowTest::Open(MessageBoxFunction showBox) {
  if (!showBox) {
    showBox = [this](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
      boxes.push_back({owner, text, caption, type, IsWindowVisible(owner) != FALSE});
      Pump(holdMs);
      return IDOK;
    };
  }
  auto oneAtATime = [this, showBox](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    if (boxOpen) {
      ADD_FAILURE() << "a box opened inside another box: " << text;
      return IDOK;
    }
    boxOpen = true;
    const int answer = showBox(owner, text, caption, type);
    boxOpen = false;
    return answer;
  };
  quitMessages = 0;
  dpi = std::make_unique<DpiCompatibility>(std::make_unique<FakeDpiFunctions>(dpiTier, dpiFakes));
  window = std::make_unique<MainWindow>(libraries, *dpi, oneAtATime, packagesFolder);
  ASSERT_TRUE(window->Open(SW_SHOWNORMAL));
}

bool WindowTest::PumpUntilField(const char* name, const std::wstring& text, DWORD ms) {
  return Pump(ms, [&] { return Field(name) == text; });
}

void WindowTest::ExpectNoDeviceShown() const {
  for (const char* name : {"Rvid", "Rpid", "Rsernum", "Rprodstr"}) EXPECT_EQ(Field(name), L"") << name;
  EXPECT_EQ(Field("DriverType"), L"No device");
}

}  // namespace tornak::testing
