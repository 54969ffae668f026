// tornak.exe measured from the Windows side, under Wine, beside a bare window built the same
// way: start-up to the first painted window, CPU time and private memory while polling, and
// the time from plugging the simulated bridge in until the window shows it. Prints its rows
// of the benchmark table. TORNAK_SIM_STATE must name a state file the benchmark may overwrite.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <string_view>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/discarding_display.hpp"
#include "bench/library_pairs.hpp"
#include "bench/measured_process.hpp"
#include "bench/table.hpp"
#include "identity/presets.hpp"
#include "identity/probe.hpp"
#include "sim/platform.hpp"
#include "sim/state/path.hpp"
#include "sim/state/store.hpp"
#include "system/handles_win.hpp"
#include "system/program_folder.hpp"
#include "system/text_conversions_win.hpp"
#include "window/driver_package_reader.hpp"
#include "window/testing/program_window.hpp"
#include "window/timing.hpp"

namespace tornak::bench {
namespace {

constexpr wchar_t kBareClass[] = L"tornakbare";
constexpr wchar_t kAttachedVid[] = L"10C4";
constexpr double kTimerPeriodMs = kTimer1PeriodMs;

struct Options {
  int runs = 12;
  int pollSeconds = 30;
  int trials = 32;
  bool header = true;
  bool profile = false;
  bool latencyOnly = false;
  bool pollingOnly = false;
  bool packagesOnly = false;
  int awayMs = 0;  // the run command's bridge's time away after a reset; 0: not known
};

Options ParseOptions(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring name = argv[i];
    auto value = [&] {
      if (i + 1 >= argc) throw std::runtime_error("an option lacks its value");
      return std::stoi(argv[++i]);
    };
    if (name == L"--runs") options.runs = value();
    else if (name == L"--poll-seconds") options.pollSeconds = value();
    else if (name == L"--trials") options.trials = value();
    else if (name == L"--rows-only") options.header = false;
    else if (name == L"--profile") options.profile = true;
    else if (name == L"--latency-only") options.latencyOnly = true;
    else if (name == L"--polling-only") options.pollingOnly = true;
    else if (name == L"--packages-only") options.packagesOnly = true;
    else if (name == L"--away-ms") options.awayMs = value();
    else
      throw std::runtime_error(
          "usage: tornak_window_bench [--runs N] [--poll-seconds S] [--trials T] [--rows-only] [--profile] "
          "[--latency-only] [--polling-only] [--packages-only] [--away-ms MS]");
  }
  return options;
}

void ParkPointer() {
  // Not (0, 0): Wine leaves the pointer where it is when asked for the origin.
  constexpr POINT kCorner{4, 4};
  POINT now{};
  if (!SetCursorPos(kCorner.x, kCorner.y) || !GetCursorPos(&now) || now.x != kCorner.x || now.y != kCorner.y)
    throw std::runtime_error("cannot move the mouse pointer out of the way");
}

std::string StatePathOrThrow() {
  if (!sim::platform::EnvironmentVariable(sim::kStateVariable))
    throw std::runtime_error("set TORNAK_SIM_STATE to a state file of the benchmark's own");
  return *sim::StatePath();
}

void SetBridgeAttached(const std::string& path, bool attached) {
  sim::UpdateState(path, [&](sim::State& state) {
    // Detached, not dropped: the program may hold a handle to the bridge at this moment.
    while (!state.bridges.empty()) state.Detach(std::string(state.bridges.front().name));
    if (attached) state.bridges.push_back(sim::DefaultBridge("bridge1"));
    return true;
  });
}

std::uint64_t NewGenerationOpens(const std::string& path) {
  return sim::ReadState(path).opens[sim::Index(LibraryGeneration::New)];
}

std::wstring RvidText(HWND window) { return testing::ReadOut(window, "Rvid"); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nearest rank: the smallest value with at least that share of the values at or below it.
double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
  return values[std::max<std::size_t>(rank, 1) - 1];
}

std::string Join(const std::vector<double>& values) {
  std::string text;
  for (double value : values) text += (text.empty() ? "" : " ") + std::to_string(static_cast<int>(std::lround(value)));
  return text;
}

double OwnCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& time) {
    return static_cast<double>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// CPU time of one tick, in nanoseconds, over enough ticks for Wine's 10 ms clock steps.
double TickNanoseconds(const VendorLibraries& libraries, double minimumCpuSeconds) {
  BridgeState state;
  state.DeviceHandle = -1;
  DiscardingDisplay display;
  const double start = OwnCpuSeconds();
  long ticks = 0;
  double used = 0;
  do {
    for (int i = 0; i < 50; ++i) RefreshDeviceInfo(state, libraries, display);
    ticks += 50;
    used = OwnCpuSeconds() - start;
  } while (used < minimumCpuSeconds);
  if (display.Characters() == 0 || !state.NewDriverActive) throw std::runtime_error("the tick found no bridge");
  return used * 1e9 / static_cast<double>(ticks);
}

// The tick of the program in this process, under Wine, as the native rows time it natively:
// what one poll costs tornak.exe through the simulated libraries, those of the state file and
// those that hold their bridge in memory.
void MeasureTick() {
  ModelPair model;
  const double modelTick = TickNanoseconds(model.libraries, 0.5);
  SimulatedPair inMemory(true);
  const double memory = TickNanoseconds(inMemory.libraries, 0.5);
  SimulatedPair simulated;
  const double file = TickNanoseconds(simulated.libraries, 1.0);
  const std::string baseline = Microseconds(modelTick) + ", the same tick against the bridge model in memory";
  PrintRow(std::cout, {"RefreshDeviceInfo under Wine, loader + simulated libraries, one bridge (CPU per tick)",
                       Microseconds(file), baseline, Ratio(file, modelTick), ""});
  PrintRow(std::cout, {"RefreshDeviceInfo under Wine, loader + simulated libraries holding the bridge in memory",
                       Microseconds(memory), baseline, Ratio(memory, modelTick), ""});
}

// Start-up, in alternation so that a slow spell of the shared machine hits every program alike.
// The target is set against the bare window that shows tornak.exe's controls, themed and in its
// font, as tornak.exe does: that is the least this window can take; the empty window stays as
// a reference.
void MeasureStartup(const Options& options, const std::wstring& tornak, const std::wstring& bare) {
  struct Program {
    std::wstring path;
    const wchar_t* windowClass;
    const char* label;
    std::vector<double> ms;
  };
  Program programs[] = {{tornak, kWindowClassName, "tornak.exe", {}},
                        {ProgramFolder() + L"bare_window_controls.exe", kBareClass, "bare window with the controls", {}},
                        {bare, kBareClass, "bare window", {}}};
  // The first start of each loads Wine's libraries from disk; every later one finds them cached.
  for (const Program& program : programs) MeasuredProcess(program.path, program.windowClass).Close();
  for (int run = 0; run < options.runs; ++run) {
    for (Program& program : programs) {
      MeasuredProcess process(program.path, program.windowClass);
      if (program.path == tornak && RvidText(process.Window()) != kAttachedVid)
        throw std::runtime_error("tornak.exe started without the bridge shown");
      program.ms.push_back(process.StartupMilliseconds());
    }
  }
  for (const Program& program : programs)
    std::cerr << "start-up, " << program.label << " (ms): " << Join(program.ms) << "\n";
  const double t = Median(programs[0].ms);
  const double controls = Median(programs[1].ms);
  const double b = Median(programs[2].ms);
  const std::string runs = std::to_string(options.runs) + " alternated runs";
  PrintRow(std::cout, {"Start-up to first painted window, median of " + runs, Milliseconds(t),
                       Milliseconds(controls) +
                           ", bare window with tornak.exe's 12 controls, Common Controls 6 and dialog font",
                       Ratio(t, controls), Verdict("within 1.2x that window", t <= 1.2 * controls)});
  PrintRow(std::cout, {"Start-up, the same runs, against the empty window (reference)", Milliseconds(t),
                       Milliseconds(b) + ", bare window without controls", Ratio(t, b), ""});
}

// A PC's installed driver packages: kPackages of them, the first kLargePackages several
// megabytes (as graphics drivers' are), the rest a few kilobytes; none names a preset. Written as
// oem<first>.inf onwards into `folder`, so that they can be told from any other package there.
constexpr int kPackages = 300;
constexpr int kLargePackages = 3;
constexpr int kLargeModelLines = 100000;  // about 4 MiB
constexpr int kSmallModelLines = 40;
constexpr int kFirstPlantedPackage = 9000;

std::vector<std::filesystem::path> PlantPackages(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> planted;
  for (int i = 0; i < kPackages; ++i) {
    std::string text =
        "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=USB\r\nProvider=%P%\r\nDriverVer=01/02/2025,2.0.0." +
        std::to_string(i) + "\r\n[Manufacturer]\r\n%P%=Models,NTx86,NTamd64\r\n";
    std::string lines;
    const int count = i < kLargePackages ? kLargeModelLines : kSmallModelLines;
    for (int line = 0; line < count; ++line)
      lines += "%D%=Install,USB\\VID_1234&PID_" + std::to_string(1000 + line % 9000) + "&REV_" +
               std::to_string(1000 + line / 9000) + ",USB\\Class_FF\r\n";
    for (const char* models : {"[Models.NTx86]\r\n", "[Models.NTamd64]\r\n"}) text += models + lines;
    text += "[Install]\r\n[Strings]\r\nP=\"Bench\"\r\nD=\"Device\"\r\n";
    planted.push_back(folder / ("oem" + std::to_string(kFirstPlantedPackage + i) + ".inf"));
    std::ofstream(planted.back(), std::ios::binary) << text;
  }
  return planted;
}

// Removes planted packages when it goes, also after a failure.
struct PlantedPackages {
  explicit PlantedPackages(const std::filesystem::path& folder) : files(PlantPackages(folder)) {}
  ~PlantedPackages() {
    std::error_code ignored;
    for (const auto& file : files) std::filesystem::remove(file, ignored);
  }
  PlantedPackages(const PlantedPackages&) = delete;
  PlantedPackages& operator=(const PlantedPackages&) = delete;
  std::vector<std::filesystem::path> files;
};

// Reading the installed driver packages, which tornak.exe does on a worker thread of its own at
// start and whenever the INF folder changes: once in a folder of its own, timed, and then
// start-up with the same packages in Windows' INF folder, alternated with start-up without them,
// which the reading must not move.
void MeasurePackageReading(const Options& options, const std::wstring& tornak) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tornak-bench-packages";
  std::filesystem::create_directories(folder);
  std::vector<double> readingMs;
  {
    const PlantedPackages planted(folder);
    constexpr int kReadings = 5;
    for (int reading = 0; reading < kReadings; ++reading) {
      const auto start = std::chrono::steady_clock::now();
      const PackageSurvey survey = ReadDriverPackages(folder.wstring() + L"\\");
      readingMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      for (const IdentityPackages& identity : survey)
        if (!identity.checked || !identity.packages.empty())
          throw std::runtime_error("the planted packages did not all read as naming no preset");
    }
  }
  std::filesystem::remove(folder);
  std::cerr << "reading " << kPackages << " packages (ms): " << Join(readingMs) << "\n";
  const std::string what = std::to_string(kPackages) + " driver packages, " + std::to_string(kLargePackages) +
                           " of them about 4 MiB";
  PrintRow(std::cout, {"Reading an INF folder of " + what + " (tornak.exe's worker thread, not the window's), median",
                       Milliseconds(Median(readingMs)), "", "", ""});

  const std::filesystem::path system = InstalledPackagesFolder();
  std::vector<double> with;
  std::vector<double> without;
  for (int run = 0; run < options.runs; ++run) {
    without.push_back(MeasuredProcess(tornak, kWindowClassName).StartupMilliseconds());
    const PlantedPackages planted(system);
    with.push_back(MeasuredProcess(tornak, kWindowClassName).StartupMilliseconds());
  }
  std::cerr << "start-up with the packages (ms): " << Join(with) << "\nstart-up without (ms): " << Join(without) << "\n";
  PrintRow(std::cout, {"Start-up with those packages in Windows' INF folder, median of " + std::to_string(options.runs) +
                           " alternated runs",
                       Milliseconds(Median(with)), Milliseconds(Median(without)) + ", the same without them",
                       Ratio(Median(with), Median(without)), ""});
}

// What one span of polling cost each program measured side by side, and the wineserver.
struct PollingSpan {
  double seconds = 0;
  std::vector<double> cpuSeconds;  // per program, in the order given
  std::vector<std::size_t> privateBytes;
  std::optional<double> serverSeconds;
};

// Polling is what a program does once started: a span begins this long after tornak.exe was
// started, when its first ticks and the rest of its start-up are over.
constexpr DWORD kSettleMs = 3000;

PollingSpan Poll(const std::vector<const MeasuredProcess*>& programs, DWORD milliseconds) {
  std::vector<double> cpuStart;
  for (const MeasuredProcess* program : programs) cpuStart.push_back(program->CpuSeconds());
  const auto serverStart = WineServerCpuSeconds();
  const double start = Now();
  Sleep(milliseconds);
  const auto serverEnd = WineServerCpuSeconds();
  PollingSpan span;
  span.seconds = Now() - start;
  for (std::size_t i = 0; i < programs.size(); ++i) {
    span.cpuSeconds.push_back(programs[i]->CpuSeconds() - cpuStart[i]);
    span.privateBytes.push_back(programs[i]->PrivateBytes());
  }
  if (serverStart && serverEnd) span.serverSeconds = *serverEnd - *serverStart;
  return span;
}

std::string CpuShare(double cpuSeconds, double spanSeconds) {
  return Percent(100 * cpuSeconds / spanSeconds) + " (" + Milliseconds(cpuSeconds * 1000) + ")";
}

// tornak.exe polls one attached bridge for a span, beside the bare windows: first on the simulated
// libraries that hold the bridge in memory, as a vendor library talking to a real bridge answers,
// which is tornak.exe's own cost; then on those of the state file, as a reference. Then the bare
// windows alone for as long again, for what the wineserver spends without tornak.exe: under Wine
// the system's side of tornak.exe's file and timer calls runs there, not in tornak.exe.
void MeasurePolling(const Options& options, const std::string& statePath, const std::wstring& tornak,
                    const std::wstring& bare) {
  const MeasuredProcess bareProcess(bare, kBareClass);
  const MeasuredProcess notifiedProcess(ProgramFolder() + L"bare_window_notified.exe", kBareClass);
  const DWORD span = static_cast<DWORD>(options.pollSeconds) * 1000;
  const std::string polling = "CPU time in " + std::to_string(options.pollSeconds) + " s of polling one bridge";
  const auto requireBridge = [](const MeasuredProcess& process, const char* failure) {
    if (RvidText(process.Window()) != kAttachedVid) throw std::runtime_error(failure);
  };

  PollingSpan memory;
  {
    const MeasuredProcess process((InMemoryFolder() / L"tornak.exe").wstring(), kWindowClassName);
    requireBridge(process, "tornak.exe shows no bridge held in memory");
    Sleep(kSettleMs);
    memory = Poll({&process, &bareProcess, &notifiedProcess}, span);
    requireBridge(process, "tornak.exe lost the bridge held in memory");
  }
  PollingSpan file;
  std::uint64_t ticks = 0;
  {
    const MeasuredProcess process(tornak, kWindowClassName);
    Sleep(kSettleMs);
    const std::uint64_t opensStart = NewGenerationOpens(statePath);
    file = Poll({&process, &bareProcess, &notifiedProcess}, span);
    ticks = NewGenerationOpens(statePath) - opensStart;
    requireBridge(process, "tornak.exe lost the bridge while polling");
  }
  const PollingSpan alone = Poll({&bareProcess, &notifiedProcess}, span);

  const double memoryPercent = 100 * memory.cpuSeconds[0] / memory.seconds;
  PrintRow(std::cout, {polling + " held in memory by the simulated libraries, share of one core",
                       CpuShare(memory.cpuSeconds[0], memory.seconds),
                       CpuShare(memory.cpuSeconds[1], memory.seconds) + ", bare window",
                       Ratio(memory.cpuSeconds[0], memory.cpuSeconds[1]),
                       Verdict("under 0.1 % of one core", memoryPercent < 0.1)});
  PrintRow(std::cout, {polling + " through the simulated libraries' state file (" + std::to_string(ticks) +
                           " ticks), share of one core (reference)",
                       CpuShare(file.cpuSeconds[0], file.seconds),
                       CpuShare(file.cpuSeconds[1], file.seconds) + ", bare window",
                       Ratio(file.cpuSeconds[0], file.cpuSeconds[1]), ""});

  const auto tornakBytes = static_cast<double>(memory.privateBytes[0]);
  const auto bareBytes = static_cast<double>(memory.privateBytes[1]);
  const auto notifiedBytes = static_cast<double>(memory.privateBytes[2]);
  PrintRow(std::cout, {"Private memory after the polling (bridge held in memory)", Kibibytes(tornakBytes),
                       Kibibytes(notifiedBytes) +
                           ", bare window with tornak.exe's 12 controls, Common Controls 6, dialog font and "
                           "device notification",
                       Ratio(tornakBytes, notifiedBytes),
                       Verdict("within 1.2x that window", tornakBytes <= 1.2 * notifiedBytes)});
  PrintRow(std::cout, {"Private memory, the same, against the empty window (reference)", Kibibytes(tornakBytes),
                       Kibibytes(bareBytes) + ", bare window without controls", Ratio(tornakBytes, bareBytes), ""});
  std::cerr << "private memory after polling through the state file: tornak.exe "
            << Kibibytes(static_cast<double>(file.privateBytes[0]))
            << ", bare window with the controls and notification "
            << Kibibytes(static_cast<double>(file.privateBytes[2])) << "\n";

  if (!memory.serverSeconds || !file.serverSeconds || !alone.serverSeconds) {
    std::cerr << "wineserver: not found in Z:\\proc, so its CPU time is not measured\n";
    return;
  }
  const std::string withoutTornak = CpuShare(*alone.serverSeconds, alone.seconds) + ", then the bare windows alone";
  PrintRow(std::cout, {"wineserver CPU in the span with the bridge in memory, serving every program (not in the "
                       "rows above)",
                       CpuShare(*memory.serverSeconds, memory.seconds), withoutTornak,
                       Ratio(*memory.serverSeconds, *alone.serverSeconds), ""});
  PrintRow(std::cout, {"wineserver CPU in the span through the state file, serving every program",
                       CpuShare(*file.serverSeconds, file.seconds), withoutTornak,
                       Ratio(*file.serverSeconds, *alone.serverSeconds), ""});
}

// Waits until the read-out shows `wanted`; milliseconds from `since`, or a throw after 5 s.
double WaitForReadout(HWND window, std::string_view name, const std::wstring& wanted, double since) {
  for (;;) {
    if (testing::ReadOut(window, name) == wanted) return (Now() - since) * 1000;
    if (Now() - since > 5) throw std::runtime_error("the window did not follow the simulated bridge within 5 s");
    Sleep(1);
  }
}

double WaitForRvid(HWND window, const std::wstring& wanted, double since) {
  return WaitForReadout(window, "Rvid", wanted, since);
}

// Each trial starts at a random point of the timer's period, so that the trials spread over all
// of it; the seed is fixed, so every run starts them at the same points.
class TrialPauses {
 public:
  void Wait() { Sleep(static_cast<DWORD>(pause_(random_))); }

 private:
  std::mt19937 random_{20240611};
  std::uniform_int_distribution<int> pause_{50, 50 + static_cast<int>(kTimerPeriodMs)};
};

double Max(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

std::string Spread(const std::vector<double>& values) {
  return Milliseconds(Percentile(values, 0.5)) + " / " + Milliseconds(Percentile(values, 0.95)) + " / " +
         Milliseconds(Max(values));
}

// The bridge plugged in and out again, `trials` times; with `announce`, each change is announced
// as the Windows tornak-sim does, without it the window has only its timer to go by.
std::vector<double> PlugLatencies(const Options& options, const std::string& statePath, HWND window, bool announce) {
  SetBridgeAttached(statePath, false);
  WaitForRvid(window, L"", Now());
  TrialPauses pauses;
  std::vector<double> latencies;
  // Where the time goes: writing the state file, then sending the announcement; the rest is the
  // window's wait for more messages, its probe and this program seeing the read-out.
  std::vector<double> writing;
  std::vector<double> announcing;
  for (int trial = 0; trial < options.trials; ++trial) {
    pauses.Wait();
    const double plugged = Now();
    SetBridgeAttached(statePath, true);
    writing.push_back((Now() - plugged) * 1000);
    if (announce) sim::platform::AnnounceDeviceChange();
    announcing.push_back((Now() - plugged) * 1000 - writing.back());
    latencies.push_back(WaitForRvid(window, kAttachedVid, plugged));
    SetBridgeAttached(statePath, false);
    if (announce) sim::platform::AnnounceDeviceChange();
    WaitForRvid(window, L"", Now());
  }
  std::cerr << "plug-to-display latency, " << (announce ? "announced" : "timer alone") << " (ms): " << Join(latencies)
            << "\n  of which writing the state file: " << Join(writing) << "\n  and announcing: " << Join(announcing)
            << "\n";
  return latencies;
}

void MeasureLatency(const Options& options, const std::string& statePath, const std::wstring& tornak) {
  SetBridgeAttached(statePath, false);
  MeasuredProcess process(tornak, kWindowClassName);
  const std::vector<double> timer = PlugLatencies(options, statePath, process.Window(), false);
  const std::vector<double> announced = PlugLatencies(options, statePath, process.Window(), true);
  const std::string trials = std::to_string(options.trials) + " trials: p50 / p95 / max";
  // The timer alone shows a plug at its next tick: within a period, and a moment for the probe.
  const double timerAlone = kTimerPeriodMs + 50;
  PrintRow(std::cout, {"Plug-to-display latency, timer alone (no announcement), " + trials, Spread(timer),
                       Milliseconds(kTimerPeriodMs) + ", the probe's timer period", "",
                       Verdict("max under " + Milliseconds(timerAlone), Max(timer) < timerAlone)});
  const double p95 = Percentile(announced, 0.95);
  PrintRow(std::cout, {"Plug-to-display latency through the announcement, " + trials, Spread(announced),
                       Spread(timer) + ", the timer alone", Ratio(p95, Percentile(timer, 0.95)),
                       Verdict("p95 under 100 ms", p95 < 100)});
}

// From the click until Rpid shows the new PID, the presses alternating between two presets.
std::vector<double> PressLatencies(const Options& options, HWND window, const char* label) {
  TrialPauses pauses;
  std::vector<double> latencies;
  std::vector<double> pressing;  // until the press's own work, the rewrite and reset, is done
  for (int trial = 0; trial < options.trials; ++trial) {
    const IdentityPreset& press = kIdentityPresets[trial % 2];
    const std::wstring shown = Wide(press.pidText);
    pauses.Wait();
    const double pressed = Now();
    if (!testing::Press(window, press.button)) throw std::runtime_error("tornak.exe has no button to press");
    pressing.push_back((Now() - pressed) * 1000);
    latencies.push_back(WaitForReadout(window, "Rpid", shown, pressed));
  }
  std::cerr << "press-to-new-identity latency, " << label << " (ms): " << Join(latencies)
            << "\n  of which the press itself: " << Join(pressing) << "\n";
  return latencies;
}

// Runs the staged tornak-sim.exe, its output to this program's stderr (stdout carries the
// table); its exit code.
DWORD RunSimTool(const std::wstring& arguments) {
  const std::wstring program = ProgramFolder() + L"tornak-sim.exe";
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdError = startup.hStdOutput;
  PROCESS_INFORMATION info{};
  const BOOL inheritHandles = TRUE;  // the standard handles above
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inheritHandles, 0, nullptr, nullptr,
                      &startup, &info))
    throw std::runtime_error("cannot start tornak-sim.exe: error " + std::to_string(GetLastError()));
  const UniqueKernelHandle process(info.hProcess);
  const UniqueKernelHandle thread(info.hThread);
  if (WaitForSingleObject(process.Get(), 30'000) != WAIT_OBJECT_0)
    throw std::runtime_error("tornak-sim.exe did not finish within 30 s");
  DWORD code = 1;
  GetExitCodeProcess(process.Get(), &code);
  return code;
}

// tornak-sim's option for a bridge's time away after a reset; bench/run.sh reads the run
// command's value from its use in scripts/run.sh.
constexpr wchar_t kAwayOption[] = L"--reenumeration-ms";

// The same presses once with the simulated libraries' reset announcing the bridge's return, and
// once with them quiet, as a window that has only its timer would see them; both with the bridge
// back at once. Then the announced presses again with the bridge away after each reset for as
// long as the run command's is, as a real bridge is while it enumerates again.
void MeasurePressLatency(const Options& options, const std::string& statePath, const std::wstring& tornak) {
  SetBridgeAttached(statePath, true);
  const std::wstring quiet = Utf8ToWide(sim::platform::kQuietVariable);
  SetEnvironmentVariableW(quiet.c_str(), L"1");  // inherited by the program started next
  std::vector<double> timer;
  {
    MeasuredProcess process(tornak, kWindowClassName);
    timer = PressLatencies(options, process.Window(), "timer alone");
  }
  SetEnvironmentVariableW(quiet.c_str(), nullptr);
  MeasuredProcess process(tornak, kWindowClassName);
  const std::vector<double> announced = PressLatencies(options, process.Window(), "announced");
  const double p95 = Percentile(announced, 0.95);
  const std::string trials = std::to_string(options.trials) + " trials: p50 / p95 / max";
  PrintRow(std::cout, {"Press-to-new-identity latency (click until Rpid shows the new PID), bridge back at once, " +
                           trials,
                       Spread(announced), Spread(timer) + ", the reset not announced (the timer alone)",
                       Ratio(p95, Percentile(timer, 0.95)), Verdict("p95 under 150 ms", p95 < 150)});

  const std::string away = "Press-to-new-identity latency, bridge away " +
                           (options.awayMs > 0 ? std::to_string(options.awayMs) + " ms" : std::string("a while")) +
                           " after each reset (the run command's bridge), " + trials;
  const std::string instant = Spread(announced) + ", the same presses with the bridge back at once";
  if (options.awayMs <= 0) {
    PrintRow(std::cout, {away, "not measured: the run command sets no time away", instant, "", ""});
    return;
  }
  if (RunSimTool(std::wstring(L"set bridge1 ") + kAwayOption + L" " + std::to_wstring(options.awayMs)) != 0) {
    PrintRow(std::cout, {away, "not measured: tornak-sim refused " + WideToUtf8(kAwayOption), instant, "", ""});
    return;
  }
  const std::vector<double> late = PressLatencies(options, process.Window(), "bridge away after the reset");
  PrintRow(std::cout, {away, Spread(late), instant, Ratio(Percentile(late, 0.95), p95), ""});
}

// The steps from the bare window to tornak.exe, each measured like the two programs above:
// where the start-up time and the memory go.
void MeasureProfile(const Options& options, const std::string& statePath) {
  struct Step {
    std::string label;
    std::wstring program;
    const wchar_t* windowClass;
    bool bridge;
    std::vector<double> startupMs;
    std::size_t privateBytes = 0;
  };
  std::vector<Step> steps = {
      {"bare window", L"bare_window.exe", kBareClass, false, {}},
      {"+ Common Controls 6 loaded, as tornak.exe does", L"bare_window_common_controls.exe", kBareClass, false, {}},
      {"+ tornak.exe's 12 controls and dialog font", L"bare_window_controls.exe", kBareClass, false, {}},
      {"+ the USB device notification tornak.exe asks for", L"bare_window_notified.exe", kBareClass, false, {}},
      {"tornak.exe, no bridge: both simulated libraries loaded, counted", L"tornak.exe", kWindowClassName, false, {}},
      {"tornak.exe, one bridge: opened, read and closed once", L"tornak.exe", kWindowClassName, true, {}},
  };
  for (Step& step : steps) {
    SetBridgeAttached(statePath, step.bridge);
    MeasuredProcess process(ProgramFolder() + step.program, step.windowClass);
    Sleep(3000);
    step.privateBytes = process.PrivateBytes();
  }
  for (int run = 0; run < options.runs; ++run) {
    for (Step& step : steps) {
      SetBridgeAttached(statePath, step.bridge);
      step.startupMs.push_back(MeasuredProcess(ProgramFolder() + step.program, step.windowClass).StartupMilliseconds());
    }
  }
  std::cout << "| Step towards tornak.exe | Start-up, median of " << options.runs
            << " | Private memory, 3 s after start |\n|---|---:|---:|\n";
  for (const Step& step : steps)
    std::cout << "| " << step.label << " | " << Milliseconds(Median(step.startupMs)) << " | "
              << Kibibytes(static_cast<double>(step.privateBytes)) << " |\n";
}

}  // namespace
}  // namespace tornak::bench

int wmain(int argc, wchar_t** argv) {
  using namespace tornak::bench;
  try {
    const Options options = ParseOptions(argc, argv);
    const std::string statePath = StatePathOrThrow();
    const std::wstring folder = tornak::ProgramFolder();
    const std::wstring tornak = folder + L"tornak.exe";
    const std::wstring bare = folder + L"bare_window.exe";
    if (options.header && !options.profile) PrintHeader(std::cout);
    // The virtual display starts with the pointer in its centre, where tornak.exe centres its
    // window: over a button, whose hot tracking Wine serves by polling the pointer every few
    // milliseconds. A pointer resting elsewhere is the usual case, and the bare window's.
    ParkPointer();
    if (options.profile) {
      MeasureProfile(options, statePath);
      return 0;
    }
    if (options.latencyOnly) {
      MeasureLatency(options, statePath, tornak);
      MeasurePressLatency(options, statePath, tornak);
      return 0;
    }
    SetBridgeAttached(statePath, true);
    if (options.pollingOnly) {
      MeasurePolling(options, statePath, tornak, bare);
      return 0;
    }
    if (options.packagesOnly) {
      MeasurePackageReading(options, tornak);
      return 0;
    }
    MeasureTick();
    MeasureStartup(options, tornak, bare);
    MeasurePackageReading(options, tornak);
    MeasurePolling(options, statePath, tornak, bare);
    MeasureLatency(options, statePath, tornak);
    MeasurePressLatency(options, statePath, tornak);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "tornak_window_bench: " << e.what() << "\n";
    return 1;
  }
}
