// What the processor dialog offers to pick in one choice, and what it says of each processor,
// from the machine's topology. Processors are named by their whole-machine numbers
// (engine/processor_groups.h), which on a machine of one group are the mask's bits.
#pragma once

#include "common/affinity_mask.h"
#include "common/processor_set.h"
#include "engine/processor_groups.h"
#include "frontend/processor_dialog/processor_topology.h"

#include <string>
#include <vector>

struct ProcessorSetChoice {
    std::string text;
    ProcessorSet processors;
};

// In this order, each only where the machine has it: "All processors"; "One thread per core"
// (the lowest processor of every core, where some core has several); "Performance cores" (the
// highest efficiency class) and "Efficiency cores" (every lower one), where there are several
// classes; "L3 cache 0, 96 MB (0-7,16-23)" for each last-level cache, where there are several;
// "NUMA node 1 (8-15)" for each node, where there are several. The first four may span groups.
// Nothing for an unknown topology.
std::vector<ProcessorSetChoice> ProcessorChoices(const ProcessorTopology& topology,
                                                 const ProcessorGroups& machine);

// The tooltip of the box of group `group`'s bit `bit`: "CPU 17: core 1 (2 threads), L3 cache 0,
// NUMA node 0, efficiency class 1". The thread count only for a core of several, the efficiency
// class only where there are several classes, and the cache and node only where the system lists
// one.
std::string DescribeProcessor(const ProcessorTopology& topology, const ProcessorGroups& machine,
                              int group, int bit);
