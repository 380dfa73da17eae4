// What a snapshot and a full refresh of the main window cost over real processes: the snapshot
// against a bare loop of exactly the platform calls it needs, the refresh against the snapshot
// alone, all in the same run and in turns.
#include "bare_calls.h"
#include "bench_report.h"
#include "helper_pool.h"
#include "main_window.h"
#include "process_snapshot.h"
#include "resource.h"
#include "stopwatch.h"

#include <commctrl.h>
#include <psapi.h>

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

// Where the floor's time goes: the bare loop once more, each platform call timed on its own.
void MeasureCallByCall(BenchReport& report, long size) {
    enum Call { kEnumerate, kOpen, kModules, kFileName, kAffinity, kClose, kCalls };
    static const char* const names[kCalls] = {"EnumProcesses",          "OpenProcess",
                                              "EnumProcessModules",     "GetModuleFileNameExA",
                                              "GetProcessAffinityMask", "CloseHandle"};
    double seconds[kCalls] = {};
    long calls[kCalls] = {};
    auto timed = [&](Call call, auto&& work) {
        Stopwatch clock;
        auto result = work();
        seconds[call] += clock.Seconds();
        ++calls[call];
        return result;
    };
    const std::vector<DWORD> ids = timed(kEnumerate, [] { return BareEnumerate(); });
    for (DWORD id : ids) {
        HANDLE process = timed(kOpen, [&] {
            return ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        });
        if (process == nullptr)
            continue;
        HMODULE module = nullptr;
        DWORD needed = 0;
        char path[MAX_PATH];
        DWORD_PTR processMask = 0, systemMask = 0;
        if (timed(
                kModules,
                [&] { return ::EnumProcessModules(process, &module, sizeof(module), &needed); }) &&
            timed(kFileName,
                  [&] { return ::GetModuleFileNameExA(process, module, path, MAX_PATH); }) != 0)
            timed(kAffinity,
                  [&] { return ::GetProcessAffinityMask(process, &processMask, &systemMask); });
        timed(kClose, [&] { return ::CloseHandle(process); });
    }
    for (int call = 0; call < kCalls; ++call)
        report.AddSample({"snapshot calls", size, names[call]}, seconds[call], calls[call]);
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
