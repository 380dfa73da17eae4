// What MoveProcesses, MoveAllProcesses and IsolateProcesses cost over real processes, against a
// bare open/set/close loop over the same processes in the same run.
#include "common/affinity_mask.h"
#include "engine/affinity.h"
#include "bare_calls.h"
#include "bench_report.h"
#include "helper_pool.h"
#include "stopwatch.h"

#include <cstdio>
#include <functional>

namespace {

constexpr int kSizes[] = {25, 100, 200};
constexpr double kChangeGoal = 1.10;
// A sample repeats the operation until it has set about this many masks, so that a short
// operation is not measured by one scheduling hiccup of a busy machine.
constexpr long kSetsPerSample = 200;

struct Contender {
    std::string variant;
    std::function<void(unsigned long mask)> run;
};

// Product and baseline measured side by side with the same mask, each time from the same state:
// before every timed operation (and outside its time) every process goes back to all processors,
// so that both sides really move the same processes; moving a running process, the benchmark
// itself among them, costs more than setting a mask it already has. The mask alternates from
// pair to pair, the order of the two every second pair.
void MeasurePair(BenchReport& report, const std::string& figure, long size, int repetitions,
                 const Contender& product, const Contender& bare, unsigned long firstMask,
                 unsigned long secondMask, long units) {
    const unsigned long all = GenerateAllProcessorsMask();
    const long rounds = units < kSetsPerSample ? kSetsPerSample / units : 1;
    auto sample = [&](const Contender& contender, unsigned long mask) {
        double seconds = 0;
        for (long round = 0; round < rounds; ++round) {
            BareMoveAll(all);
            seconds += TimeSeconds([&] { contender.run(mask); });
        }
        return seconds;
    };
    sample(product, firstMask); // warm-up
    sample(bare, firstMask);
    for (int rep = 0; rep < repetitions; ++rep) {
        const unsigned long mask = rep % 2 == 0 ? firstMask : secondMask;
        const bool productFirst = (rep / 2) % 2 == 0;
        const Contender& first = productFirst ? product : bare;
        const Contender& second = productFirst ? bare : product;
        const double firstSeconds = sample(first, mask);
        const double secondSeconds = sample(second, mask);
        report.AddSample({figure, size, first.variant}, firstSeconds, units * rounds);
        report.AddSample({figure, size, second.variant}, secondSeconds, units * rounds);
    }
    BareMoveAll(all);
    report.AddRatio(figure, {figure, size, product.variant}, {figure, size, bare.variant},
                    kChangeGoal);
}

} // namespace

int main(int argc, char** argv) {
    BenchReport report(OutputDirectory(argc, argv), "changes");
    const int repetitions = Repetitions(argc, argv, 24);
    const unsigned long all = GenerateAllProcessorsMask();
    const auto lowest = static_cast<unsigned long>(LowestProcessorBit(all));
    const unsigned long rest = all & ~lowest;
    if (rest == 0) {
        std::fprintf(stderr, "needs two processors, mask %lu\n", all);
        return 1;
    }

    HelperPool helpers;
    for (int size : kSizes) {
        if (!helpers.GrowTo(size))
            return 1;
        std::vector<unsigned long> ids = helpers.ids();
        const int count = static_cast<int>(ids.size());
        const long everyone = static_cast<long>(BareEnumerate().size());

        MeasurePair(
            report, "move", size, repetitions,
            {"MoveProcesses", [&](unsigned long mask) { MoveProcesses(count, ids.data(), mask); }},
            {"bare loop", [&](unsigned long mask) { BareMove(ids, mask); }}, lowest, rest, count);
        MeasurePair(report, "move all", size, repetitions,
                    {"MoveAllProcesses", [&](unsigned long mask) { MoveAllProcesses(mask); }},
                    {"bare loop", [&](unsigned long mask) { BareMoveAll(mask); }}, lowest, rest,
                    everyone);
        MeasurePair(report, "isolate", size, repetitions,
                    {"IsolateProcesses",
                     [&](unsigned long mask) { IsolateProcesses(count, ids.data(), mask); }},
                    {"bare loop", [&](unsigned long mask) { BareIsolate(ids, mask); }}, rest, rest,
                    everyone + count);
        std::printf("changes: %d helpers, %ld processes measured\n", count, everyone);
    }
    MoveAllProcesses(all);
    return report.Write() ? 0 : 1;
}
