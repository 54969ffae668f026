// A library built as if Windows 10 were the oldest it must run on: it imports what Windows 7 SP1
// lacks, and its header keeps the linker's own subsystem version. The check of the shipped files
// must refuse it.
#include <windows.h>

extern "C" __declspec(dllexport) unsigned WindowDpi(HWND window) { return GetDpiForWindow(window); }

extern "C" __declspec(dllexport) void PreciseTime(FILETIME* time) { GetSystemTimePreciseAsFileTime(time); }
