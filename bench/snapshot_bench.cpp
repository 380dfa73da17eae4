// What a snapshot and a full refresh of the main window cost over real processes: the snapshot
// against a bare loop of exactly the platform calls it needs, the refresh against the snapshot
// alone, all in the same run and in turns.
#include "bare_calls.h"
#include "bare_loops.h"
#include "bench_report.h"
#include "helper_pool.h"
#include "main_window.h"
#include "process_snapshot.h"
#include "resource.h"
#include "stopwatch.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>

namespace {

constexpr int kSizes[] = {25, 100, 200};
constexpr double kSnapshotGoal = 1.10;
constexpr double kRefreshGoal = 1.50;

constexpr char kBare[] = "bare loop";
constexpr char kSnapshot[] = "TakeProcessSnapshot";
constexpr char kRefresh[] = "RefreshProcessList";

// Lets the window paint what the last refresh invalidated, outside the measured time.
void DrainMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

long ListRows(HWND window) {
    return static_cast<long>(
        ::SendDlgItemMessageA(window, IDC_PROCESS_LIST, LVM_GETITEMCOUNT, 0, 0));
}

// The system's calls of the bare loop, each one timed on its own.
class TimedCalls {
  public:
    enum Call { kEnumerate, kOpen, kModules, kFileName, kAffinity, kClose, kCalls };

    template <typename Work> auto Timed(Call call, Work&& work) {
        Stopwatch clock;
        auto result = work();
        seconds[call] += clock.Seconds();
        ++calls[call];
        return result;
    }

    HANDLE OpenProcess(DWORD access, DWORD processId) {
        return Timed(kOpen, [&] { return system_.OpenProcess(access, processId); });
    }
    BOOL EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                 DWORD* bytesNeeded) {
        return Timed(kModules, [&] {
            return system_.EnumerateProcessModules(process, modules, bytes, bytesNeeded);
        });
    }
    DWORD ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size) {
        return Timed(kFileName,
                     [&] { return system_.ModuleFilePath(process, module, path, size); });
    }
    BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask) {
        return Timed(kAffinity, [&] {
            return system_.GetProcessAffinityMask(process, processMask, systemMask);
        });
    }
    BOOL CloseHandle(HANDLE handle) {
        return Timed(kClose, [&] { return system_.CloseHandle(handle); });
    }

    double seconds[kCalls] = {};
    long calls[kCalls] = {};

  private:
    SystemCalls system_;
};

// Where the floor's time goes: the bare loop once more, each platform call timed on its own.
void MeasureCallByCall(BenchReport& report, long size) {
    static const char* const names[TimedCalls::kCalls] = {
        "EnumProcesses",          "OpenProcess", "EnumProcessModules", "GetModuleFileNameExA",
        "GetProcessAffinityMask", "CloseHandle"};
    TimedCalls timed;
    // The whole enumeration counts as one call, however often the buffer doubles.
    const std::vector<DWORD> ids =
        timed.Timed(TimedCalls::kEnumerate, [] { return BareEnumerate(); });
    BareSnapshotOf(timed, ids);
    for (int call = 0; call < TimedCalls::kCalls; ++call)
        report.AddSample({"snapshot calls", size, names[call]}, timed.seconds[call],
                         timed.calls[call]);
}

struct Contender {
    const char* variant;
    std::function<long()> run; // returns the processes or rows it produced
};

} // namespace

int main(int argc, char** argv) {
    BenchReport report(OutputDirectory(argc, argv), "snapshot");
    const int repetitions = Repetitions(argc, argv, 15);

    ::InitCommonControls();
    HWND window = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN),
                                       nullptr, MainWindowProc, 0);
    auto* mainWindow = window != nullptr
                           ? reinterpret_cast<MainWindow*>(::GetWindowLongPtrA(window, DWLP_USER))
                           : nullptr;
    if (mainWindow == nullptr) {
        std::fprintf(stderr, "cannot create the main window, error %lu\n", ::GetLastError());
        return 1;
    }
    DrainMessages();

    const Contender contenders[] = {{kBare, [] { return static_cast<long>(BareSnapshot()); }},
                                    {kSnapshot,
                                     [] {
                                         ProcessList processes;
                                         TakeProcessSnapshot(processes);
                                         return static_cast<long>(processes.size());
                                     }},
                                    {kRefresh, [&] {
                                         mainWindow->RefreshProcessList();
                                         return ListRows(window);
                                     }}};
    constexpr int kContenders = sizeof(contenders) / sizeof(contenders[0]);

    HelperPool helpers;
    for (int size : kSizes) {
        if (!helpers.GrowTo(size))
            return 1;
        for (const Contender& contender : contenders) // warm-up
            contender.run();
        DrainMessages();
        long rows = 0;
        for (int rep = 0; rep < repetitions; ++rep)
            for (int turn = 0; turn < kContenders; ++turn) {
                // Each contender goes first, second and third in turn.
                const Contender& contender = contenders[(rep + turn) % kContenders];
                long produced = 0;
                const double seconds = TimeSeconds([&] { produced = contender.run(); });
                report.AddSample({"snapshot", size, contender.variant}, seconds, produced);
                if (contender.variant == kRefresh)
                    rows = produced;
                DrainMessages();
            }
        report.AddRatio("snapshot", {"snapshot", size, kSnapshot}, {"snapshot", size, kBare},
                        kSnapshotGoal);
        report.AddRatio("refresh", {"snapshot", size, kRefresh}, {"snapshot", size, kSnapshot},
                        kRefreshGoal);
        for (int rep = 0; rep < repetitions; ++rep)
            MeasureCallByCall(report, size);
        std::printf("snapshot: %d helpers, %ld rows\n", size, rows);
    }
    ::DestroyWindow(window);
    return report.Write() ? 0 : 1;
}
