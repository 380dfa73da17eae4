// Start-up: the time from starting `Tandrel Pro.exe` until its window is visible with the list
// filled, against the same program reading processes by the module route and a minimal dialog
// program, started the same way; then the memory at rest with 200 more processes running, and the
// size of the files.
#include "bench_report.h"
#include "helper_pool.h"
#include "stopwatch.h"

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>

namespace {

constexpr char kProductTitle[] = "Tandrel Pro";
constexpr char kBaselineTitle[] = "Minimal Dialog";
constexpr int kProcessList = 1002;
constexpr int kRestingHelpers = 200;
constexpr DWORD kRestMilliseconds = 2000;
constexpr double kNoGoal = 0;
// With 200 helpers, at least twice as fast as the program reading them by the module route.
constexpr double kModuleRouteGoal = 0.5;

struct Program {
    const char* variant;
    std::string path;
    const char* title;
    bool hasList;
};

// The program's window once it is visible and, for the product, its list has rows.
HWND ReadyWindow(const Program& program) {
    HWND window = ::FindWindowA(nullptr, program.title);
    if (window == nullptr || !::IsWindowVisible(window))
        return nullptr;
    if (!program.hasList)
        return window;
    DWORD_PTR rows = 0;
    if (!::SendMessageTimeoutA(::GetDlgItem(window, kProcessList), LVM_GETITEMCOUNT, 0, 0,
                               SMTO_ABORTIFHUNG, 1000, &rows))
        return nullptr;
    return rows > 0 ? window : nullptr;
}

// A started program, closed through its window (as a user would) and ended at the latest here.
class RunningProgram {
  public:
    explicit RunningProgram(const Program& program) : program_(program) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + program.path + "\"";
        if (::CreateProcessA(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &startup, &info)) {
            ::CloseHandle(info.hThread);
            process_.reset(info.hProcess);
        } else {
            std::fprintf(stderr, "cannot start %s, error %lu\n", program.path.c_str(),
                         ::GetLastError());
        }
    }
    ~RunningProgram() {
        if (!process_)
            return;
        if (HWND window = ::FindWindowA(nullptr, program_.title))
            ::PostMessageA(window, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process_.get(), 1);
            ::WaitForSingleObject(process_.get(), 5000);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool started() const { return static_cast<bool>(process_); }
    HANDLE handle() const { return process_.get(); }

    // Polls every millisecond, so the answer is at most about a millisecond late for both.
    HWND WaitReady(DWORD timeoutMilliseconds) const {
        Stopwatch clock;
        while (clock.Seconds() * 1000 < timeoutMilliseconds) {
            if (HWND window = ReadyWindow(program_))
                return window;
            if (::WaitForSingleObject(process_.get(), 1) == WAIT_OBJECT_0)
                return nullptr;
        }
        return nullptr;
    }

  private:
    const Program& program_;
    UniqueHandle process_;
};

// Seconds from the start until the window is ready, or a negative value when it never was.
double StartupSeconds(const Program& program) {
    Stopwatch clock;
    RunningProgram running(program);
    if (!running.started() || running.WaitReady(60000) == nullptr) {
        std::fprintf(stderr, "%s never showed its window\n", program.variant);
        return -1;
    }
    return clock.Seconds();
}

bool MeasureAtRest(BenchReport& report, const Program& program, long processes) {
    RunningProgram running(program);
    HWND window = running.started() ? running.WaitReady(60000) : nullptr;
    if (window == nullptr)
        return false;
    ::Sleep(kRestMilliseconds);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(running.handle(),
                                reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof(counters))) {
        std::fprintf(stderr, "cannot read the memory of %s, error %lu\n", program.variant,
                     ::GetLastError());
        return false;
    }
    const std::string figure = "at rest with " + std::to_string(processes) + " helpers";
    // The commit charge: what Windows calls private bytes, and what Wine reports here (it leaves
    // PrivateUsage of other processes at 0).
    report.AddValue(figure, std::string(program.variant) + " private bytes",
                    static_cast<double>(counters.PagefileUsage), "bytes");
    report.AddValue(figure, std::string(program.variant) + " working set",
                    static_cast<double>(counters.WorkingSetSize), "bytes");
    if (program.hasList) {
        const auto rows =
            ::SendMessageA(::GetDlgItem(window, kProcessList), LVM_GETITEMCOUNT, 0, 0);
        report.AddValue(figure, std::string(program.variant) + " rows listed",
                        static_cast<double>(rows), "rows");
    }
    return true;
}

void AddFileSize(BenchReport& report, const std::string& path, const std::string& name) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        report.AddValue("file size", name, static_cast<double>(data.nFileSizeLow), "bytes");
}

} // namespace

int main(int argc, char** argv) {
    BenchReport report(OutputDirectory(argc, argv), "startup");
    const int repetitions = Repetitions(argc, argv, 9);
    const std::string deliverables = ProgramDirectory() + "..\\..\\bin\\";
    const Program product{"Tandrel Pro.exe", deliverables + "Tandrel Pro.exe", kProductTitle, true};
    const Program baseline{"minimal dialog", ProgramDirectory() + "minimal_dialog.exe",
                           kBaselineTitle, false};
    // Not a baseline of the goals: the minimal dialog loading the product's libraries, which
    // splits the product's extra time into loading and its own work.
    const Program sameImports{"minimal dialog + product imports",
                              ProgramDirectory() + "minimal_dialog_imports.exe", kBaselineTitle,
                              false};
    const Program moduleRoute{"Tandrel Pro.exe (module route)",
                              ProgramDirectory() + "module_route_program.exe", kProductTitle, true};
    const Program* const programs[] = {&product, &moduleRoute, &baseline, &sameImports};
    constexpr int kPrograms = sizeof(programs) / sizeof(programs[0]);

    HelperPool helpers;
    for (int helperCount : {0, kRestingHelpers}) {
        if (!helpers.GrowTo(helperCount))
            return 1;
        // The first start of each fills the system's file cache; it is not counted.
        for (const Program* program : programs)
            if (StartupSeconds(*program) < 0)
                return 1;
        for (int rep = 0; rep < repetitions; ++rep)
            for (int turn = 0; turn < kPrograms; ++turn) {
                const Program& program = *programs[(rep + turn) % kPrograms];
                const double seconds = StartupSeconds(program);
                if (seconds < 0)
                    return 1;
                report.AddSample({"start-up", helperCount, program.variant}, seconds);
            }
        for (const Program* against : {&baseline, &sameImports})
            report.AddRatio("start-up", {"start-up", helperCount, product.variant},
                            {"start-up", helperCount, against->variant}, kNoGoal);
        report.AddRatio("start-up", {"start-up", helperCount, product.variant},
                        {"start-up", helperCount, moduleRoute.variant},
                        helperCount == kRestingHelpers ? kModuleRouteGoal : kNoGoal);
        std::printf("start-up: %d helpers\n", helperCount);
    }
    for (const Program* program : {&product, &baseline, &sameImports})
        if (!MeasureAtRest(report, *program, kRestingHelpers))
            return 1;
    AddFileSize(report, product.path, "Tandrel Pro.exe");
    AddFileSize(report, deliverables + "Tandrel Pro BE.dll", "Tandrel Pro BE.dll");
    AddFileSize(report, baseline.path, "minimal_dialog.exe");
    return report.Write() ? 0 : 1;
}
