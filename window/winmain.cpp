#include <windows.h>
#include <commctrl.h>

#include "vendor/loaded_cp210x.hpp"
#include "window/main_window.hpp"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  tornak::LoadedCp210x newGeneration(tornak::LibraryGeneration::New);
  tornak::LoadedCp210x oldGeneration(tornak::LibraryGeneration::Old);
  tornak::VendorLibraries libraries(newGeneration, oldGeneration);
  tornak::MainWindow window(libraries);
  if (!window.Open(showCommand)) return 1;
  return tornak::RunMessageLoop(window.Handle());
}
