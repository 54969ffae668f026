#include "bench/measured_process.hpp"

#include <winternl.h>

#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "system/entry_point_win.hpp"
#include "system/text_conversions_win.hpp"
#include "window/testing/program_window.hpp"

namespace tornak::bench {
namespace {

constexpr DWORD kStartTimeoutMs = 30'000;

// The head of one entry of NtQuerySystemInformation(SystemProcessInformation), as the system
// has laid it out since Windows NT; MinGW's winternl.h hides the times in a reserved block.
struct ProcessEntry {
  ULONG NextEntryOffset;
  ULONG NumberOfThreads;
  LARGE_INTEGER WorkingSetPrivateSize;
  ULONG HardFaultCount;
  ULONG NumberOfThreadsHighWatermark;
  ULONGLONG CycleTime;
  LARGE_INTEGER CreateTime;
  LARGE_INTEGER UserTime;
  LARGE_INTEGER KernelTime;
  UNICODE_STRING ImageName;
  LONG BasePriority;
  HANDLE UniqueProcessId;
  HANDLE InheritedFromUniqueProcessId;
  ULONG HandleCount;
  ULONG SessionId;
  ULONG_PTR UniqueProcessKey;
  SIZE_T PeakVirtualSize;
  SIZE_T VirtualSize;
  ULONG PageFaultCount;
  SIZE_T PeakWorkingSetSize;
  SIZE_T WorkingSetSize;
  SIZE_T QuotaPeakPagedPoolUsage;
  SIZE_T QuotaPagedPoolUsage;
  SIZE_T QuotaPeakNonPagedPoolUsage;
  SIZE_T QuotaNonPagedPoolUsage;
  SIZE_T PagefileUsage;
};

constexpr ULONG kSystemProcessInformation = 5;

// Wine 8 answers GetProcessTimes and GetProcessMemoryInfo about another process with zeros,
// but fills the system's process list from /proc/<pid>/stat and /proc/<pid>/status: CPU time
// in steps of 10 ms, and as PagefileUsage (what PrivateUsage reports on Windows) the
// process's anonymous resident memory plus its swap. On Windows the figures are the same as
// those two functions give.
ProcessEntry FindProcess(DWORD processId) {
  using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  static const auto query = EntryPointOf<Query>(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
  if (query == nullptr) throw std::runtime_error("ntdll.dll has no NtQuerySystemInformation");
  std::vector<unsigned char> buffer(1 << 16);
  ULONG needed = 0;
  LONG status = 0;
  while ((status = query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) != 0) {
    if (buffer.size() >= (1u << 26)) throw std::runtime_error("the process list does not fit in 64 MiB");
    buffer.resize(buffer.size() * 2);
  }
  for (std::size_t offset = 0;;) {
    ProcessEntry entry;
    std::memcpy(&entry, buffer.data() + offset, sizeof entry);
    if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry.UniqueProcessId)) == processId) return entry;
    if (entry.NextEntryOffset == 0) throw std::runtime_error("the measured process is not in the process list");
    offset += entry.NextEntryOffset;
  }
}

// A whole file, read to its end: the files of /proc report a size of 0.
std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  DWORD count = 0;
  while (ReadFile(file.Get(), chunk, sizeof chunk, &count, nullptr) && count > 0) bytes.append(chunk, count);
  return bytes;
}

std::optional<std::string> Environment(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 || length >= 1024) return std::nullopt;
  return WideToUtf8(std::wstring_view(value, length));
}

// The wineserver whose environment names this prefix: another prefix's server may run beside it.
std::optional<std::wstring> FindWineServer() {
  const auto prefix = Environment(L"WINEPREFIX");
  if (!prefix) return std::nullopt;
  const std::string wanted = "WINEPREFIX=" + *prefix;
  WIN32_FIND_DATAW entry;
  const UniqueFind search(FindFirstFileW(L"Z:\\proc\\*", &entry));
  if (!search) return std::nullopt;
  std::optional<std::wstring> found;
  do {
    if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') continue;
    const std::wstring folder = std::wstring(L"Z:\\proc\\") + entry.cFileName + L"\\";
    const auto name = ReadWholeFile(folder + L"comm");
    if (!name || name->rfind("wineserver", 0) != 0) continue;
    const auto environment = ReadWholeFile(folder + L"environ");
    if (!environment) continue;
    std::size_t start = 0;
    while (start < environment->size() && !found) {
      std::size_t end = environment->find('\0', start);
      if (end == std::string::npos) end = environment->size();
      if (environment->compare(start, end - start, wanted) == 0) found = folder;
      start = end + 1;
    }
  } while (!found && FindNextFileW(search.Get(), &entry));
  return found;
}

}  // namespace

std::optional<double> WineServerCpuSeconds() {
  static const std::optional<std::wstring> server = FindWineServer();
  if (!server) return std::nullopt;
  const auto stat = ReadWholeFile(*server + L"stat");
  if (!stat) return std::nullopt;
  // After the command's name in parentheses: state, then utime and stime as fields 12 and 13.
  const std::size_t close = stat->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat->substr(close + 1));
  std::string field;
  unsigned long long user = 0;
  unsigned long long system = 0;
  for (int i = 0; i < 11; ++i) fields >> field;
  if (!(fields >> user >> system)) return std::nullopt;
  // The kernel's clock ticks, 100 a second on every Linux Wine runs on.
  return static_cast<double>(user + system) / 100.0;
}

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / frequency;
}

// First paint: a thread with a WM_PAINT pending is not idle, since GetMessage would return
// that paint; so WaitForInputIdle returns once the window and its controls have painted and
// the message loop waits. The window is then looked for, in case the program waited for
// input before showing it (a message box during loading, say): the clock runs until it shows.
MeasuredProcess::MeasuredProcess(const std::wstring& program, const wchar_t* windowClass) {
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\') + 1);
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const double start = Now();
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &info))
    throw std::runtime_error("cannot start a program: error " + std::to_string(GetLastError()));
  const UniqueKernelHandle thread(info.hThread);
  process_.Reset(info.hProcess);
  processId_ = info.dwProcessId;
  if (WaitForInputIdle(process_.Get(), kStartTimeoutMs) != 0) {
    Close();
    throw std::runtime_error("the program did not wait for input within 30 s");
  }
  for (;;) {
    const std::vector<HWND> shown = testing::WindowsOfProcess(processId_, windowClass, true);
    if (!shown.empty()) {
      window_ = shown.front();
      break;
    }
    if (Now() - start > kStartTimeoutMs / 1000.0 || WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) {
      Close();
      throw std::runtime_error("the program showed no window");
    }
    Sleep(1);
  }
  startupMilliseconds_ = (Now() - start) * 1000;
}

MeasuredProcess::~MeasuredProcess() { Close(); }

double MeasuredProcess::CpuSeconds() const {
  const ProcessEntry entry = FindProcess(processId_);
  return static_cast<double>(entry.UserTime.QuadPart + entry.KernelTime.QuadPart) / 1e7;
}

std::size_t MeasuredProcess::PrivateBytes() const { return FindProcess(processId_).PagefileUsage; }

void MeasuredProcess::Close() {
  if (!process_) return;
  if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.Get(), 5000) != WAIT_OBJECT_0) {
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 5000);
  }
  process_.Reset();
  processId_ = 0;
  window_ = nullptr;
}

}  // namespace tornak::bench
