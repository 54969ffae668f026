#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string_view>

#include "identity/bridge_state.hpp"
#include "identity/identity_display.hpp"
#include "system/handles_win.hpp"
#include "vendor/cp210x.hpp"
#include "window/base_window.hpp"
#include "window/device_change.hpp"
#include "window/layout.hpp"
#include "window/readout_tooltips.hpp"

namespace tornak {

inline constexpr wchar_t kWindowCaption[] = L"Kavren PID changer";
inline constexpr UINT kTimer1PeriodMs = 600;

// How the window puts up a message box: MessageBoxW itself, or a recorder in tests. Called
// with the window as owner; returns when the box is closed.
using MessageBoxFunction = std::function<int(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)>;

// The one window of the program: the bridge's identity, refreshed every 600 ms, and the three
// buttons that rewrite its product ID.
class MainWindow final : public BaseWindow<MainWindow>, public IdentityDisplay {
 public:
  // libraries must outlive the window.
  explicit MainWindow(const VendorLibraries& libraries, MessageBoxFunction messageBox = &MessageBoxW);
  ~MainWindow() override;

  // Creates the window, centred and hidden, runs Form_Load (whose boxes therefore come before
  // the window), then shows it. False when the window could not be created, or was closed
  // while loading.
  bool Open(int showCommand);

  // The DPI the layout is computed for.
  unsigned Dpi() const noexcept { return dpi_; }

  // The child window of a control of kControls.
  HWND Control(std::string_view name) const;

  // The tooltip window that shows clipped read-outs in full.
  HWND Tooltips() const noexcept { return tooltips_.Handle(); }

  void SetFieldText(DisplayField field, const Text& text) override;
  void ShowWarning(const Text& text) override;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  enum class Origin { Timer, User };

  void Form_Load();
  void Timer1_Timer();
  void SetKavrenPID_Click();
  void SetSilabsPID_Click();
  void SetSilabsPIDxpress_Click();
  void DeviceChange_Timer();

  void RunEvent(Origin origin, const std::function<void()>& work);
  void ReportFault(Origin origin, const Text& message);
  void ShowBox(const Text& text, const wchar_t* caption);

  LRESULT OnCreate();
  void OnTimer(UINT_PTR id);
  void OnCommand(int id, int code);
  void OnDeviceChange(WPARAM event, LPARAM data);
  bool OnContextMenu(HWND clicked, LPARAM where);
  void Copy(std::optional<DisplayField> field);
  void OnDpiChanged(unsigned dpi, const RECT& suggested);
  void OnActivate(WPARAM state);
  void OnSetFocus();
  void OnDestroy();

  void ApplyDpi(unsigned dpi);
  SIZE FrameSize(unsigned dpi) const;
  void CentreOnScreen();

  const VendorLibraries& libraries_;
  MessageBoxFunction messageBox_;
  BridgeState state_;
  unsigned dpi_ = kDefaultDpi;
  UniqueFont font_;
  ReadoutTooltips tooltips_;
  UniqueDeviceNotification deviceNotification_;
  HWND lastFocus_ = nullptr;
  bool eventRunning_ = false;
  std::optional<Text> lastReportedFault_;
};

// Runs the thread's message loop until WM_QUIT, with Tab moving between the window's buttons
// and Ctrl+C copying the identity.
int RunMessageLoop(HWND window);

// What the loop does with a message before dispatching it: the window's shortcuts, then the
// dialog keys. True when the message was handled so.
bool TranslateWindowMessage(HWND window, HACCEL accelerators, MSG& message);

}  // namespace tornak
