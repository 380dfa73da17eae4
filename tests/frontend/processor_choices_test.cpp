// The processor dialog's choices and its boxes' tooltip texts, from topologies built here as the
// topology read gives them: no dialog, no pretend machine, no root.
#include "frontend/processor_dialog/processor_choices.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The choices and texts on a machine of one group whose present processors are `present`, where
// a processor's number is its bit.
struct ProcessorChoice {
    std::string text;
    AffinityMask processors = 0;
};

std::vector<ProcessorChoice> ProcessorChoices(const ProcessorTopology& topology,
                                              AffinityMask present) {
    std::vector<ProcessorChoice> choices;
    for (const ProcessorSetChoice& choice :
         ::ProcessorChoices(topology, ProcessorGroups::OneGroup(present)))
        choices.push_back({choice.text, choice.processors.groups[0]});
    return choices;
}

std::string DescribeProcessor(const ProcessorTopology& topology, int processor) {
    return ::DescribeProcessor(topology, ProcessorGroups::OneGroup(0), 0, processor);
}

bool operator==(const ProcessorChoice& a, const ProcessorChoice& b) {
    return a.text == b.text && a.processors == b.processors;
}

void PrintTo(const ProcessorChoice& choice, std::ostream* out) {
    *out << "\"" << choice.text << "\" 0x" << std::hex << choice.processors;
}

// Processors first to last, both included.
AffinityMask Range(int first, int last) {
    AffinityMask mask = 0;
    for (int processor = first; processor <= last; ++processor)
        mask |= ProcessorBit(processor);
    return mask;
}

// A core per processor of the mask, all of one class.
std::vector<ProcessorCore> SingleThreadCores(AffinityMask present, BYTE efficiencyClass = 0) {
    std::vector<ProcessorCore> cores;
    for (int processor = 0; processor < kMaskProcessors; ++processor)
        if ((present & ProcessorBit(processor)) != 0)
            cores.push_back({ProcessorBit(processor), efficiencyClass});
    return cores;
}

// `count` cores of two threads each: k and k + stride.
std::vector<ProcessorCore> TwoThreadCores(int count, int stride) {
    std::vector<ProcessorCore> cores;
    for (int core = 0; core < count; ++core) {
        const int first = stride == 1 ? 2 * core : core;
        cores.push_back({ProcessorBit(first) | ProcessorBit(first + stride), 0});
    }
    return cores;
}

constexpr DWORD kMegabytes = 1024 * 1024;

ProcessorTopology Known(std::vector<ProcessorCore> cores, std::vector<ProcessorCache> caches,
                        std::vector<ProcessorNode> nodes) {
    return {true, std::move(cores), std::move(caches), std::move(nodes)};
}

struct Case {
    const char* machine;
    AffinityMask present;
    ProcessorTopology topology;
    std::vector<ProcessorChoice> choices;
    std::map<int, std::string> descriptions; // by processor
};

std::vector<Case> Cases() {
    const AffinityMask even = Range(0, 7) | Range(16, 23), odd = Range(8, 15) | Range(24, 31);
    std::vector<ProcessorCore> hybrid = SingleThreadCores(Range(0, 3), 1);
    for (const ProcessorCore& core : SingleThreadCores(Range(4, 7), 0))
        hybrid.push_back(core);
    std::vector<Case> cases = {
        {"threads k and k+16, L3 caches of 96 and 32 MB",
         Range(0, 31),
         Known(TwoThreadCores(16, 16), {{even, 3, 96 * kMegabytes}, {odd, 3, 32 * kMegabytes}},
               {{Range(0, 31)}}),
         {{"All processors", Range(0, 31)},
          {"One thread per core", Range(0, 15)},
          {"L3 cache 0, 96 MB (0-7,16-23)", even},
          {"L3 cache 1, 32 MB (8-15,24-31)", odd}},
         {{17, "CPU 17: core 1 (2 threads), L3 cache 0, NUMA node 0"},
          {24, "CPU 24: core 8 (2 threads), L3 cache 1, NUMA node 0"}}},
        {"threads k and k+1",
         Range(0, 7),
         Known(TwoThreadCores(4, 1), {{Range(0, 7), 3, 8 * kMegabytes}}, {{Range(0, 7)}}),
         {{"All processors", Range(0, 7)}, {"One thread per core", 0x55}},
         {{3, "CPU 3: core 1 (2 threads), L3 cache 0, NUMA node 0"}}},
        {"three L3 caches, one not of whole megabytes",
         Range(0, 11),
         Known(SingleThreadCores(Range(0, 11)),
               {{Range(0, 3), 3, 32 * kMegabytes},
                {Range(4, 7), 3, 16 * kMegabytes},
                {Range(8, 11), 3, 1536 * 1024}},
               {{Range(0, 11)}}),
         {{"All processors", Range(0, 11)},
          {"L3 cache 0, 32 MB (0-3)", Range(0, 3)},
          {"L3 cache 1, 16 MB (4-7)", Range(4, 7)},
          {"L3 cache 2, 1536 KB (8-11)", Range(8, 11)}},
         {{11, "CPU 11: core 11, L3 cache 2, NUMA node 0"}}},
        {"L2 as the last level",
         Range(0, 3),
         Known(SingleThreadCores(Range(0, 3)),
               {{Range(0, 1), 2, 2 * kMegabytes}, {Range(2, 3), 2, 2 * kMegabytes}},
               {{Range(0, 3)}}),
         {{"All processors", Range(0, 3)},
          {"L2 cache 0, 2 MB (0-1)", Range(0, 1)},
          {"L2 cache 1, 2 MB (2-3)", Range(2, 3)}},
         {{2, "CPU 2: core 2, L2 cache 1, NUMA node 0"}}},
        {"two NUMA nodes",
         Range(0, 15),
         Known(SingleThreadCores(Range(0, 15)), {{Range(0, 15), 3, 16 * kMegabytes}},
               {{Range(0, 7)}, {Range(8, 15)}}),
         {{"All processors", Range(0, 15)},
          {"NUMA node 0 (0-7)", Range(0, 7)},
          {"NUMA node 1 (8-15)", Range(8, 15)}},
         {{9, "CPU 9: core 9, L3 cache 0, NUMA node 1"}}},
        {"two core classes",
         Range(0, 7),
         Known(hybrid, {}, {}),
         {{"All processors", Range(0, 7)},
          {"Performance cores", Range(0, 3)},
          {"Efficiency cores", Range(4, 7)}},
         {{1, "CPU 1: core 1, efficiency class 1"}, {5, "CPU 5: core 5, efficiency class 0"}}},
        {"three core classes",
         Range(0, 5),
         Known({{Range(0, 1), 2},
                {ProcessorBit(2), 1},
                {ProcessorBit(3), 1},
                {ProcessorBit(4), 0},
                {ProcessorBit(5), 0}},
               {}, {}),
         {{"All processors", Range(0, 5)},
          {"One thread per core", 0x3D},
          {"Performance cores", Range(0, 1)},
          {"Efficiency cores", Range(2, 5)}},
         {{1, "CPU 1: core 0 (2 threads), efficiency class 2"}}},
        {"a processor in no cache and no node",
         Range(0, 3),
         Known(SingleThreadCores(Range(0, 3)), {{Range(0, 2), 3, 8 * kMegabytes}}, {{Range(0, 2)}}),
         {{"All processors", Range(0, 3)}},
         {{2, "CPU 2: core 2, L3 cache 0, NUMA node 0"}, {3, "CPU 3: core 3"}}},
        {"unknown", Range(0, 3), ProcessorTopology{}, {}, {{1, "CPU 1"}}},
    };
    if (kMaskProcessors == 64) {
        const AffinityMask all = Range(0, kMaskProcessors - 1), low = Range(0, 15) | Range(32, 47);
        cases.push_back(
            {"64 processors, threads k and k+32, two caches",
             all,
             Known(TwoThreadCores(32, 32),
                   {{low, 3, 32 * kMegabytes}, {all & ~low, 3, 32 * kMegabytes}}, {{all}}),
             {{"All processors", all},
              {"One thread per core", Range(0, 31)},
              {"L3 cache 0, 32 MB (0-15,32-47)", low},
              {"L3 cache 1, 32 MB (16-31,48-63)", all & ~low}},
             {{63, "CPU 63: core 31 (2 threads), L3 cache 1, NUMA node 0"}}});
    }
    return cases;
}

} // namespace

TEST(ProcessorChoices, OfferEachPartTheMachineHasSeveralOfInOrder) {
    for (const Case& test : Cases()) {
        SCOPED_TRACE(test.machine);
        EXPECT_EQ(test.choices, ProcessorChoices(test.topology, test.present));
    }
}

TEST(ProcessorChoices, DescribeEachProcessorsCoreCacheNodeAndClass) {
    for (const Case& test : Cases()) {
        SCOPED_TRACE(test.machine);
        for (const auto& [processor, text] : test.descriptions)
            EXPECT_EQ(text, DescribeProcessor(test.topology, processor)) << "CPU " << processor;
    }
}
