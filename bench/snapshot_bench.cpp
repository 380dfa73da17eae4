// What a snapshot and a full refresh of the main window cost over real processes, against two bare
// loops of the platform calls in the same run and in turns: the image-name route, which the
// snapshot takes, and the module route, which it took before. The refresh is compared with the
// module route's loop followed by the same list fill, and with the snapshot alone.
#include "bare_calls.h"
#include "bare_loops.h"
#include "bench_report.h"
#include "helper_pool.h"
#include "frontend/main_window.h"
#include "frontend/process_snapshot.h"
#include "frontend/resource.h"
#include "frontend/startup.h"
#include "engine/process_platform.h"
#include "stopwatch.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kSizes[] = {25, 100, 200};
constexpr double kSnapshotGoal = 1.15;
// At least four times faster than the module route's loop with the same list fill, from 100
// helpers on.
constexpr double kRefreshGoal = 0.25;
constexpr int kRefreshGoalFrom = 100;
constexpr double kFillGoal = 1.50;
constexpr double kNoGoal = 0;

constexpr char kBareImage[] = "bare loop (image name)";
constexpr char kBareModules[] = "bare loop (module route)";
constexpr char kSnapshot[] = "TakeProcessSnapshot";
constexpr char kRefresh[] = "RefreshProcessList";
constexpr char kModulesAndFill[] = "bare loop (module route) + list fill";

// Lets the window paint what the last refresh invalidated, outside the measured time.
void DrainMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

// The main window's "Refresh" button, pressed as the user presses it.
void Refresh(HWND window) {
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_REFRESH)));
}

long ListRows(HWND window) {
    return static_cast<long>(
        ::SendDlgItemMessageA(window, IDC_PROCESS_LIST, LVM_GETITEMCOUNT, 0, 0));
}

// The system's calls of the bare loop, each one timed on its own.
class TimedCalls {
  public:
    enum Call { kEnumerate, kOpen, kModules, kFileName, kImageName, kAffinity, kClose, kCalls };

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
    BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError) {
        return Timed(kImageName,
                     [&] { return system_.ImageFilePath(process, path, size, lastError); });
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

// Where each floor's time goes: both bare loops once more, each platform call timed on its own.
void MeasureCallByCall(BenchReport& report, long size) {
    static const char* const names[TimedCalls::kCalls] = {"EnumProcesses",
                                                          "OpenProcess",
                                                          "EnumProcessModules",
                                                          "GetModuleFileNameExA",
                                                          "QueryFullProcessImageNameA",
                                                          "GetProcessAffinityMask",
                                                          "CloseHandle"};
    const struct {
        const char* figure;
        int (*loop)(TimedCalls&, const std::vector<DWORD>&);
    } routes[] = {
        {"snapshot calls (module route)",
         [](TimedCalls& calls, const std::vector<DWORD>& ids) {
             return BareModuleSnapshotOf(calls, ids);
         }},
        {"snapshot calls (image name)",
         [](TimedCalls& calls, const std::vector<DWORD>& ids) {
             return BareImageSnapshotOf(calls, ids);
         }},
    };
    for (const auto& route : routes) {
        TimedCalls timed;
        // The whole enumeration counts as one call, however often the buffer doubles.
        const std::vector<DWORD> ids =
            timed.Timed(TimedCalls::kEnumerate, [] { return BareEnumerate(); });
        route.loop(timed, ids);
        for (int call = 0; call < TimedCalls::kCalls; ++call)
            if (timed.calls[call] > 0)
                report.AddSample({route.figure, size, names[call]}, timed.seconds[call],
                                 timed.calls[call]);
    }
}

// Rows that a bare loop has read, handed to the product's snapshot from memory, so that the
// main window fills its list with them exactly as after a snapshot of its own.
class ReadRows : public ProcessPlatform {
  public:
    explicit ReadRows(const std::vector<BareRow>& rows) : rows_(rows) {}

    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) override {
        DWORD count = 0;
        for (; count < rows_.size() && count < bytes / sizeof(DWORD); ++count)
            ids[count] = rows_[count].id;
        *bytesReturned = count * sizeof(DWORD);
        return TRUE;
    }
    // The handle is the row's index plus one.
    HANDLE OpenProcess(DWORD, DWORD processId) override {
        for (size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].id == processId)
                return reinterpret_cast<HANDLE>(i + 1);
        return nullptr;
    }
    BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError) override {
        const std::string& rowPath = Row(process).path;
        *lastError = rowPath.size() < *size ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
        if (*lastError != ERROR_SUCCESS)
            return FALSE;
        rowPath.copy(path, rowPath.size());
        path[rowPath.size()] = '\0';
        *size = static_cast<DWORD>(rowPath.size());
        return TRUE;
    }
    BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                DWORD_PTR* systemMask) override {
        *processMask = Row(process).mask;
        *systemMask = *processMask;
        return TRUE;
    }
    BOOL CloseHandle(HANDLE) override { return TRUE; }

  private:
    const BareRow& Row(HANDLE process) const {
        return rows_[reinterpret_cast<size_t>(process) - 1];
    }

    const std::vector<BareRow>& rows_;
};

struct Contender {
    const char* variant;
    std::function<long()> run; // returns the processes or rows it produced
};

} // namespace

int main(int argc, char** argv) {
    BenchReport report(OutputDirectory(argc, argv), "snapshot");
    const int repetitions = Repetitions(argc, argv, 15);

    ::InitCommonControls();
    HWND window = CreateMainWindow();
    auto* mainWindow = window != nullptr
                           ? reinterpret_cast<MainWindow*>(::GetWindowLongPtrA(window, DWLP_USER))
                           : nullptr;
    if (mainWindow == nullptr) {
        std::fprintf(stderr, "cannot create the main window, error %lu\n", ::GetLastError());
        return 1;
    }
    DrainMessages();

    const Contender contenders[] = {
        {kBareModules, [] { return static_cast<long>(BareModuleSnapshot()); }},
        {kBareImage, [] { return static_cast<long>(BareImageSnapshot()); }},
        {kSnapshot,
         [] {
             ProcessList processes;
             TakeProcessSnapshot(processes);
             return static_cast<long>(processes.size());
         }},
        {kRefresh,
         [&] {
             Refresh(window);
             return ListRows(window);
         }},
        {kModulesAndFill, [&] {
             std::vector<BareRow> rows;
             BareModuleSnapshot(&rows);
             ReadRows readRows(rows);
             ScopedProcessPlatform scoped(readRows);
             Refresh(window);
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
                // Each contender takes each place in the order in turn.
                const Contender& contender = contenders[(rep + turn) % kContenders];
                long produced = 0;
                const double seconds = TimeSeconds([&] { produced = contender.run(); });
                report.AddSample({"snapshot", size, contender.variant}, seconds, produced);
                if (contender.variant == kRefresh)
                    rows = produced;
                DrainMessages();
            }
        report.AddRatio("snapshot", {"snapshot", size, kSnapshot}, {"snapshot", size, kBareImage},
                        kSnapshotGoal);
        report.AddRatio("snapshot", {"snapshot", size, kSnapshot}, {"snapshot", size, kBareModules},
                        kNoGoal);
        report.AddRatio("refresh", {"snapshot", size, kRefresh},
                        {"snapshot", size, kModulesAndFill},
                        size >= kRefreshGoalFrom ? kRefreshGoal : kNoGoal);
        report.AddRatio("refresh", {"snapshot", size, kRefresh}, {"snapshot", size, kSnapshot},
                        kFillGoal);
        for (int rep = 0; rep < repetitions; ++rep)
            MeasureCallByCall(report, size);
        std::printf("snapshot: %d helpers, %ld rows\n", size, rows);
    }
    ::DestroyWindow(window);
    return report.Write() ? 0 : 1;
}
