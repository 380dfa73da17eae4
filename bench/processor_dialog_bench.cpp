// The processor dialog's opening: the time from "Move to CPU(s)..." in a real main window until
// the dialog is shown and painted, with the machine's topology read (its selector laid out)
// against the same with the topology unknown, side by side in one run; and the time of making
// the boxes' tooltips, which the dialog does at its timer just after it is shown. tools/bench.sh
// runs it on a pretend 32-processor machine of two caches with two threads per core.
#include "bench_report.h"
#include "frontend/main_window.h"
#include "frontend/processor_dialog/processor_dialog.h"
#include "frontend/resource.h"
#include "frontend/startup.h"
#include "stopwatch.h"
#include "frontend/processor_dialog/topology_platform.h"

#include <commctrl.h>

#include <cstdio>

namespace {

constexpr char kRead[] = "topology read";
constexpr char kUnknown[] = "topology unknown";
constexpr char kShown[] = "processor dialog shown";
constexpr char kTooltips[] = "processor dialog tooltips";
constexpr double kGoal = 1.2;

// The system that cannot say.
class UnknownTopology : public TopologyPlatform {
  public:
    BOOL LogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*, DWORD*) override {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
};

// The dialog counts as shown at the first idle moment of its modal loop at which it is visible
// and has nothing left to paint. The dialog makes its boxes' tooltips a moment later, at its
// timer; with the topology read the watch hands it that timer's message at once, timed on its
// own, and cancels the dialog.
struct Watch {
    HHOOK hook = nullptr;
    Stopwatch clock;
    bool timeTooltips = false;
    double shownAfter = -1;
    double tooltipSeconds = -1;
};
Watch watch;

LRESULT CALLBACK OnSentMessage(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_ENTERIDLE && sent->wParam == MSGF_DIALOGBOX &&
        watch.shownAfter < 0) {
        const HWND dialog = reinterpret_cast<HWND>(sent->lParam);
        if (::IsWindowVisible(dialog) && !::GetUpdateRect(dialog, nullptr, FALSE)) {
            watch.shownAfter = watch.clock.Seconds();
            if (watch.timeTooltips) {
                Stopwatch tooltips;
                ::SendMessageA(dialog, WM_TIMER, kProcessorTooltipTimer, 0);
                watch.tooltipSeconds = tooltips.Seconds();
            }
            ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void DrainMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

// Seconds from the command until the dialog was shown, or a negative value when it never was.
double OpenDialogSeconds(HWND window, bool timeTooltips) {
    watch.timeTooltips = timeTooltips;
    watch.shownAfter = -1;
    watch.clock.Restart();
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_MOVE_TO_CPUS, 0), 0);
    DrainMessages();
    return watch.shownAfter;
}

} // namespace

int main(int argc, char** argv) {
    BenchReport report(OutputDirectory(argc, argv), "processor_dialog");
    const int repetitions = Repetitions(argc, argv, 41);

    ::InitCommonControls();
    const HWND window = CreateMainWindow();
    if (window == nullptr) {
        std::fprintf(stderr, "cannot create the main window, error %lu\n", ::GetLastError());
        return 1;
    }
    DrainMessages();
    // The commands act on the selected rows: select the first.
    LVITEMA selected{};
    selected.stateMask = LVIS_SELECTED;
    selected.state = LVIS_SELECTED;
    ::SendDlgItemMessageA(window, IDC_PROCESS_LIST, LVM_SETITEMSTATE, 0,
                          reinterpret_cast<LPARAM>(&selected));
    watch.hook =
        ::SetWindowsHookExA(WH_CALLWNDPROC, OnSentMessage, nullptr, ::GetCurrentThreadId());

    UnknownTopology unknown;
    const auto open = [&](bool read) {
        if (read)
            return OpenDialogSeconds(window, true);
        ScopedTopologyPlatform scoped(unknown);
        return OpenDialogSeconds(window, false);
    };
    int status = 0;
    // The first opening of each loads the classes and fonts; it is not counted.
    if (open(true) < 0 || open(false) < 0) {
        std::fprintf(stderr, "the processor dialog was never shown\n");
        status = 1;
    }
    for (int rep = 0; rep < repetitions && status == 0; ++rep)
        for (int turn = 0; turn < 2; ++turn) {
            const bool read = (rep + turn) % 2 == 0;
            const double seconds = open(read);
            if (seconds < 0) {
                status = 1;
                break;
            }
            report.AddSample({kShown, 32, read ? kRead : kUnknown}, seconds);
            if (read)
                report.AddSample({kTooltips, 32, kRead}, watch.tooltipSeconds);
        }
    report.AddRatio(kShown, {kShown, 32, kRead}, {kShown, 32, kUnknown}, kGoal);
    ::UnhookWindowsHookEx(watch.hook);
    ::DestroyWindow(window);
    std::printf("processor dialog: %d openings each\n", repetitions);
    return report.Write() && status == 0 ? 0 : 1;
}
