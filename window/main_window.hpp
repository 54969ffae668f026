#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cp210x/cp210x.hpp"
#include "identity/bridge_state.hpp"
#include "identity/identity_display.hpp"
#include "identity/presets.hpp"
#include "system/handles_win.hpp"
#include "window/base_window.hpp"
#include "window/controls.hpp"
#include "window/driver_package_reader.hpp"
#include "window/dpi_compatibility.hpp"
#include "window/event_boundary.hpp"
#include "window/preset_tooltips.hpp"

namespace tornak {

inline constexpr wchar_t kWindowCaption[] = L"Kavren PID changer";

// How the window puts up a message box: MessageBoxW itself, or a recorder in tests. Called
// with the window as owner; returns when the box is closed.
using MessageBoxFunction = std::function<int(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)>;

// The one window of the program: the bridge's identity, refreshed at every tick of Timer1
// (window/timing.hpp), and the buttons (kIdentityPresets) that rewrite its product ID.
class MainWindow final : public BaseWindow<MainWindow>, public IdentityDisplay {
 public:
  // libraries and dpi must outlive the window. The buttons' tooltips tell of the driver packages
  // in packagesFolder (a trailing separator): the system's, or a test's.
  MainWindow(const VendorLibraries& libraries, const DpiCompatibility& dpi, MessageBoxFunction messageBox = &MessageBoxW,
             std::wstring packagesFolder = InstalledPackagesFolder());
  ~MainWindow() override;

  // Creates the window, centred and hidden, runs Form_Load (whose boxes therefore come before
  // the window), then shows it. False when the window could not be created, or was closed
  // while loading.
  bool Open(int showCommand);

  // The DPI the layout is computed for.
  unsigned Dpi() const noexcept { return controls_.Dpi(); }
  // The child window of a control of kControls.
  HWND Control(std::string_view name) const { return controls_.Control(name); }
  // The tooltip window that shows clipped read-outs in full.
  HWND Tooltips() const noexcept { return controls_.Tooltips(); }
  // The tooltip window of the preset buttons.
  HWND ButtonTooltips() const noexcept { return presetTooltips_.Tooltips(); }

  // Once the window is gone, both throw WindowClosed.
  void SetFieldText(DisplayField field, const Text& text) override;
  void ShowWarning(const Text& text) override;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Form_Load();
  void Timer1_Timer();
  void DeviceChange_Timer();
  void Preset_Click(const IdentityPreset& preset);

  void ReportFault(const std::string& message, bool news);
  // After every event and every reading of the driver packages.
  void UpdatePresetTooltips();
  void ShowBox(const std::wstring& text, const wchar_t* caption);

  LRESULT OnCreate();
  void OnTimer(UINT_PTR id);
  void OnCommand(int id, int code);
  void OnDeviceChange(WPARAM event, LPARAM data);
  void OnDpiChanged(unsigned dpi, const RECT& suggested);
  void OnActivate(WPARAM state);
  void OnSetFocus();
  void OnDestroy();

  // Lays the window out for `dpi` (controls, fonts, icons) and gives it its size there, at
  // `topLeft` where given, else where it is.
  void LayOut(unsigned dpi, std::optional<POINT> topLeft);
  void LoadIcons();
  SIZE FrameSize(unsigned dpi) const;
  void CentreOnScreen();

  const VendorLibraries& libraries_;
  const DpiCompatibility& dpiCompatibility_;
  MessageBoxFunction messageBox_;
  BridgeState state_;
  EventBoundary events_;
  Controls controls_;
  std::wstring packagesFolder_;
  PresetTooltips presetTooltips_;
  UniqueDeviceNotification deviceNotification_;
  HWND lastFocus_ = nullptr;
  UniqueIcon smallIcon_;
  UniqueIcon bigIcon_;
};

}  // namespace tornak
