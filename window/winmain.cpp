#include <windows.h>
#include <commctrl.h>

#include "cp210x/loaded_cp210x.hpp"
#include "window/identity_copy.hpp"
#include "window/main_window.hpp"

namespace {

// Runs the thread's message loop until WM_QUIT, with Tab moving between the window's buttons
// and Ctrl+C copying the identity.
int RunMessageLoop(HWND window) {
  const tornak::UniqueAccelerators accelerators = tornak::CreateCopyAccelerators();
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (tornak::TranslateWindowMessage(window, accelerators.Get(), message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  tornak::LoadedCp210x newGeneration(tornak::LibraryGeneration::New);
  tornak::LoadedCp210x oldGeneration(tornak::LibraryGeneration::Old);
  tornak::VendorLibraries libraries(newGeneration, oldGeneration);
  const tornak::DpiCompatibility dpi;
  tornak::MainWindow window(libraries, dpi);
  if (!window.Open(showCommand)) return 1;
  return RunMessageLoop(window.Handle());
}
