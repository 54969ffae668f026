#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "identity/testing/recording_cp210x.hpp"
#include "window/main_window.hpp"
#include "window/testing/program_window.hpp"

namespace tornak::testing {

// Dispatches the thread's messages, as the program's loop would, for about ms milliseconds or
// until done() holds. Returns done() (true when there is none). A WM_QUIT ends nothing here (a
// window of an earlier test posts one as it goes); it is counted in quitMessages.
bool Pump(DWORD ms, const std::function<bool()>& done = nullptr);
inline std::size_t quitMessages = 0;

// The position of a child window in its parent's client area.
LayoutRect RectInParent(HWND child);

// The size of one line of text in a control's DC, in the given font or, for nullptr, the
// control's own.
SIZE TextExtent(HWND control, const std::wstring& text, HGDIOBJ font);

// The tooltip's text for a control; nullopt when the control has none.
std::optional<std::wstring> TipOf(HWND tooltips, HWND control);

// One generation as the window sees it: passes every call on to target, which a test may switch
// (a missing library, then a fake bridge), and notes what the probe hands over.
class SwitchableCp210x final : public Cp210x {
 public:
  explicit SwitchableCp210x(Cp210x& initial) : target(&initial) {}
  Cp210x* target;
  std::vector<std::intptr_t> handlesGivenToOpen;
  std::vector<DWORD> countTimes;  // GetTickCount of each device count
  std::function<void()> beforeEachCall;  // may throw

#define TORNAK_FORWARD(name, params, args) \
  CP210x_STATUS name params override {     \
    if (beforeEachCall) beforeEachCall();  \
    Inspect args;                          \
    return target->name args;              \
  }
  CP210X_ENTRY_POINTS(TORNAK_FORWARD)
#undef TORNAK_FORWARD

 private:
  void Inspect(std::uint32_t*) { countTimes.push_back(GetTickCount()); }
  void Inspect(std::uint32_t, CP210x_HANDLE* handle) {
    handlesGivenToOpen.push_back(reinterpret_cast<std::intptr_t>(*handle));
  }
  template <typename... Args>
  void Inspect(Args...) {}
};

// The DPI functions of the running Windows, without those newer than a tier's, or fakes in their
// place; notes each library asked for. Wine offers every tier's functions, so this is how the
// tests open the window as Windows 8.1 or 7 would, or on a monitor of another DPI.
class FakeDpiFunctions final : public DpiFunctionSource {
 public:
  explicit FakeDpiFunctions(DpiTier newest, std::map<std::string, AnyFunction> fakes = {});
  AnyFunction Find(const std::wstring& library, const char* name) override;

  std::set<std::string> missing;
  std::vector<std::wstring> libraries;

 private:
  std::map<std::string, AnyFunction> fakes_;
  SystemDpiFunctions system_;
};

// A fake for FakeDpiFunctions.
template <typename Function>
DpiFunctionSource::AnyFunction Fake(Function* function) {
  return reinterpret_cast<DpiFunctionSource::AnyFunction>(function);
}

// The screen's DPI, the session's one.
unsigned DisplayDpi();

struct RecordedBox {
  HWND owner;
  std::wstring text;
  const wchar_t* caption;  // kept only to tell null from not
  UINT type;
  bool ownerVisible;
};

// A window over two fake generations whose message boxes are recorded instead of shown. A
// recorded box can stay "open" for holdMs, dispatching messages as a real one does. Whatever
// shows the boxes, one opened while another is open fails the test at once: it would open the
// next one inside it in turn, until the test's time ran out.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  void Open(MessageBoxFunction boxes = nullptr);
  HWND Hwnd() const { return window->Handle(); }
  std::wstring Field(const char* name) const { return WindowText(window->Control(name)); }
  bool PumpUntilField(const char* name, const std::wstring& text, DWORD ms = 3000);
  // What a probe that found nothing, or broke off, leaves on screen.
  void ExpectNoDeviceShown() const;

  RecordingCp210x newFake{"CP210xManufacturingN.dll"};
  RecordingCp210x oldFake{"CP210xManufacturing.dll"};
  SwitchableCp210x newLib{newFake};
  SwitchableCp210x oldLib{oldFake};
  VendorLibraries libraries{newLib, oldLib};
  std::vector<RecordedBox> boxes;
  DWORD holdMs = 0;
  bool boxOpen = false;
  DpiTier dpiTier = DpiTier::PerMonitorV2;  // the newest the window may use
  std::map<std::string, DpiFunctionSource::AnyFunction> dpiFakes;  // by name, in place of Windows' own
  std::unique_ptr<DpiCompatibility> dpi;
  std::wstring packagesFolder = InstalledPackagesFolder();  // where the window reads the driver packages
  std::unique_ptr<MainWindow> window;
};

}  // namespace tornak::testing
