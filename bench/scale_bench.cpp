// The cost per process of the engine and of the snapshot when the system pretends to have 1,000,
// 10,000 or 100,000 processes, every platform call answered from memory. Flat means no step that
// grows faster than the process count. The floor for each figure is a bare loop making the same
// calls through the same seam.
#include "engine/affinity.h"
#include "engine/process_platform.h"
#include "bare_loops.h"
#include "bench_report.h"
#include "frontend/process_file_name.h"
#include "frontend/process_snapshot.h"
#include "stopwatch.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr long kSizes[] = {1000, 10000, 100000};
// Each sample covers this many process visits, so that the small sizes are not below the clock's
// grain and a sample lasts some milliseconds.
constexpr long kSnapshotVisits = 200000;
constexpr long kEngineVisits = 2000000;
constexpr double kFlatGoal = 1.20;
constexpr double kNoGoal = 0;
constexpr char kPretendPath[] = "C:\\Program Files\\Pretend Vendor\\pretend.process.exe";

DWORD PretendId(long index) {
    return static_cast<DWORD>(4 * (index + 1));
}

// Fills the caller's buffer as the system does: as many identifiers as fit.
// How often the product asked: every enumeration and every open, over both seams.
struct CallCount {
    long enumerations = 0;
    long opens = 0;
};
CallCount calls;

BOOL PretendEnumeration(long processCount, DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
    ++calls.enumerations;
    const long room = static_cast<long>(bytes / sizeof(DWORD));
    const long written = room < processCount ? room : processCount;
    for (long i = 0; i < written; ++i)
        ids[i] = PretendId(i);
    *bytesReturned = static_cast<DWORD>(written * sizeof(DWORD));
    return TRUE;
}

HANDLE PretendHandle(DWORD processId) {
    ++calls.opens;
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(processId));
}

// Processes that exist only here: every identifier opens, every mask is accepted, and each one
// is the same program.
class PretendProcessPlatform : public ProcessPlatform {
  public:
    explicit PretendProcessPlatform(long processCount) : processCount_(processCount) {}

    void QuerySystemInfo(SYSTEM_INFO* info) override { info->dwActiveProcessorMask = 3; }
    BOOL SetProcessAffinityMask(HANDLE, DWORD_PTR mask) override { return mask != 0; }
    void* Allocate(SIZE_T bytes) override { return ::HeapAlloc(::GetProcessHeap(), 0, bytes); }
    void Free(void* block) override {
        if (block != nullptr)
            ::HeapFree(::GetProcessHeap(), 0, block);
    }

    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) override {
        return PretendEnumeration(processCount_, ids, bytes, bytesReturned);
    }
    HANDLE OpenProcess(DWORD, DWORD processId) override { return PretendHandle(processId); }
    BOOL EnumerateProcessModules(HANDLE, HMODULE* modules, DWORD bytes,
                                 DWORD* bytesNeeded) override {
        if (bytes >= sizeof(HMODULE))
            modules[0] = reinterpret_cast<HMODULE>(0x400000);
        *bytesNeeded = sizeof(HMODULE);
        return TRUE;
    }
    DWORD ModuleFilePath(HANDLE, HMODULE, char* path, DWORD size) override {
        return CopyPretendPath(path, size);
    }
    BOOL ImageFilePath(HANDLE, char* path, DWORD* size, DWORD* lastError) override {
        const DWORD length = CopyPretendPath(path, *size);
        *lastError = length != 0 ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER;
        *size = length;
        return length != 0;
    }
    BOOL GetProcessAffinityMask(HANDLE, DWORD_PTR* processMask, DWORD_PTR* systemMask) override {
        *processMask = 1;
        *systemMask = 3;
        return TRUE;
    }
    BOOL CloseHandle(HANDLE) override { return TRUE; }

  private:
    static DWORD CopyPretendPath(char* path, DWORD size) {
        const DWORD length = static_cast<DWORD>(sizeof(kPretendPath) - 1);
        if (size <= length)
            return 0;
        std::memcpy(path, kPretendPath, length + 1);
        return length;
    }

    long processCount_;
};

// The floors are the loops of bare_loops.h through the same seam as the product.

// The same enumerations into one buffer that lives across calls: what the floor would be without
// fresh memory for every enumeration. Not a floor the product may reach (it keeps nothing between
// calls); it tells what the step at large sizes is made of.
void BareMoveAllReusingBuffer(ProcessPlatform& platform, std::vector<DWORD>& buffer,
                              DWORD_PTR mask) {
    for (DWORD capacity = 256;; capacity *= 2) {
        if (buffer.size() < capacity)
            buffer.resize(capacity);
        const DWORD bytes = capacity * sizeof(DWORD);
        DWORD written = 0;
        if (!platform.EnumerateProcesses(buffer.data(), bytes, &written))
            return;
        if (written != bytes) {
            for (DWORD i = 0; i < written / sizeof(DWORD); ++i) {
                HANDLE process = platform.OpenProcess(PROCESS_SET_INFORMATION, buffer[i]);
                if (process != nullptr) {
                    platform.SetProcessAffinityMask(process, mask);
                    platform.CloseHandle(process);
                }
            }
            return;
        }
    }
}

template <typename Work>
void Measure(BenchReport& report, const SeriesKey& key, long size, long visits, Work&& work) {
    const long rounds = visits / size;
    report.AddSample(key, TimeSeconds([&] {
                         for (long round = 0; round < rounds; ++round)
                             work();
                     }),
                     size * rounds);
}

struct Figure {
    const char* name;
    const char* product;
};
constexpr Figure kFigures[] = {{"scale snapshot", "TakeProcessSnapshot"},
                               {"scale move", "MoveProcesses"},
                               {"scale move all", "MoveAllProcesses"},
                               {"scale isolate", "IsolateProcesses"}};
constexpr char kBare[] = "bare loop";

// Enumerations the doubling rule needs for a count: capacities 256, 512, ... until one is not
// filled exactly.
long EnumerationsByTheRule(long processCount) {
    long enumerations = 1;
    for (long capacity = 256; capacity <= processCount; capacity *= 2)
        ++enumerations;
    return enumerations;
}

// Counts the calls of one operation at each size, to show that nothing is asked twice.
void CountCalls(BenchReport& report) {
    for (long size : kSizes) {
        PretendProcessPlatform pretend(size);
        ScopedProcessPlatform scope(pretend);
        const std::string figure = "calls with " + std::to_string(size) + " processes";
        report.AddValue(figure, "enumerations by the doubling rule",
                        static_cast<double>(EnumerationsByTheRule(size)), "calls");
        auto count = [&](const char* operation, auto&& work) {
            calls = {};
            work();
            report.AddValue(figure, std::string(operation) + " enumerations",
                            static_cast<double>(calls.enumerations), "calls");
            report.AddValue(figure, std::string(operation) + " opens",
                            static_cast<double>(calls.opens), "calls");
        };
        count("TakeProcessSnapshot", [] {
            ProcessList processes;
            TakeProcessSnapshot(processes);
        });
        count("MoveAllProcesses", [] { MoveAllProcesses(1); });
    }
}

// Every size in every repetition, so that a slow moment of the machine hits all sizes alike.
void MeasureAll(BenchReport& report, int repetitions) {
    for (int rep = 0; rep < repetitions; ++rep)
        for (long size : kSizes) {
            PretendProcessPlatform pretend(size);
            ScopedProcessPlatform scope(pretend);
            ProcessPlatform& enginePlatform = CurrentProcessPlatform();
            ProcessPlatform& snapshotPlatform = enginePlatform;
            std::vector<DWORD> ids(size);
            for (long i = 0; i < size; ++i)
                ids[i] = PretendId(i);
            const int count = static_cast<int>(size);
            const unsigned long all = GenerateAllProcessorsMask();
            const std::string path = kPretendPath;

            Measure(report, {"scale snapshot", size, "TakeProcessSnapshot"}, size, kSnapshotVisits,
                    [&] {
                        ProcessList processes;
                        TakeProcessSnapshot(processes);
                    });
            Measure(report, {"scale snapshot", size, kBare}, size, kSnapshotVisits, [&] {
                BareImageSnapshotOf(snapshotPlatform, BareEnumerate(snapshotPlatform));
            });
            // Not a floor: what taking the name from the path costs on its own, per process.
            Measure(report, {"scale snapshot", size, "FileNameOfPath alone"}, size, kSnapshotVisits,
                    [&] {
                        for (long i = 0; i < size; ++i)
                            FileNameOfPath(path);
                    });
            Measure(report, {"scale move", size, "MoveProcesses"}, size, kEngineVisits,
                    [&] { MoveProcesses(count, ids.data(), 1); });
            Measure(report, {"scale move", size, kBare}, size, kEngineVisits,
                    [&] { BareMove(enginePlatform, ids, 1); });
            Measure(report, {"scale move all", size, "MoveAllProcesses"}, size, kEngineVisits,
                    [&] { MoveAllProcesses(1); });
            Measure(report, {"scale move all", size, kBare}, size, kEngineVisits,
                    [&] { BareMove(enginePlatform, BareEnumerate(enginePlatform), 1); });
            std::vector<DWORD> keptBuffer;
            Measure(report, {"scale move all", size, "bare loop with a kept buffer"}, size,
                    kEngineVisits,
                    [&] { BareMoveAllReusingBuffer(enginePlatform, keptBuffer, 1); });
            Measure(report, {"scale isolate", size, "IsolateProcesses"}, size, kEngineVisits,
                    [&] { IsolateProcesses(count, ids.data(), 2); });
            Measure(report, {"scale isolate", size, kBare}, size, kEngineVisits, [&] {
                BareMove(enginePlatform, BareEnumerate(enginePlatform), all & ~2ul);
                BareMove(enginePlatform, ids, 2);
            });
        }

    const long largest = kSizes[2], smallest = kSizes[0];
    for (const Figure& figure : kFigures) {
        for (const char* variant : {figure.product, kBare})
            report.AddRatio("flat per process", {figure.name, largest, variant},
                            {figure.name, smallest, variant}, kFlatGoal);
        for (long size : kSizes)
            report.AddRatio("over the seam's floor", {figure.name, size, figure.product},
                            {figure.name, size, kBare}, kNoGoal);
    }
    report.AddRatio("flat per process", {"scale move all", largest, "bare loop with a kept buffer"},
                    {"scale move all", smallest, "bare loop with a kept buffer"}, kFlatGoal);
}

} // namespace

int main(int argc, char** argv) {
    BenchReport report(OutputDirectory(argc, argv), "scale");
    const int repetitions = Repetitions(argc, argv, 9);
    MeasureAll(report, repetitions);
    CountCalls(report);
    std::printf("scale: %d repetitions\n", repetitions);
    return report.Write() ? 0 : 1;
}
