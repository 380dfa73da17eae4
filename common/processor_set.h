// A set of processors that may lie in every processor group of the machine: one mask per group,
// bit b of groups[g] being processor b of group g. Plain fixed-size data, so that it crosses the
// library's boundary as it stands; which whole-machine numbers its processors carry is the
// machine's to say (engine/processor_groups.h).
#pragma once

#include "common/affinity_mask.h"

// The groups a set can hold. Windows divides a machine into groups of at most 64 processors; 64
// groups cover 4,096 of them, twice what any Windows release runs on. A machine that reports more
// is taken as its first kMaxProcessorGroups groups.
constexpr int kMaxProcessorGroups = 64;

struct ProcessorSet {
    AffinityMask groups[kMaxProcessorGroups] = {};

    // The set of one group's mask.
    static ProcessorSet InGroup(int group, AffinityMask mask) {
        ProcessorSet set;
        set.groups[group] = mask;
        return set;
    }

    bool empty() const {
        for (AffinityMask mask : groups)
            if (mask != 0)
                return false;
        return true;
    }

    // How many groups hold at least one processor of the set.
    int GroupCount() const {
        int count = 0;
        for (AffinityMask mask : groups)
            count += mask != 0;
        return count;
    }

    // Whether every processor of the set lies in `group`; true for the empty set.
    bool WithinGroup(int group) const {
        for (int g = 0; g < kMaxProcessorGroups; ++g)
            if (g != group && groups[g] != 0)
                return false;
        return true;
    }

    ProcessorSet Without(const ProcessorSet& other) const {
        ProcessorSet rest;
        for (int g = 0; g < kMaxProcessorGroups; ++g)
            rest.groups[g] = groups[g] & ~other.groups[g];
        return rest;
    }

    ProcessorSet Intersect(const ProcessorSet& other) const {
        ProcessorSet common;
        for (int g = 0; g < kMaxProcessorGroups; ++g)
            common.groups[g] = groups[g] & other.groups[g];
        return common;
    }

    ProcessorSet Union(const ProcessorSet& other) const {
        ProcessorSet both;
        for (int g = 0; g < kMaxProcessorGroups; ++g)
            both.groups[g] = groups[g] | other.groups[g];
        return both;
    }

    friend bool operator==(const ProcessorSet& a, const ProcessorSet& b) {
        for (int g = 0; g < kMaxProcessorGroups; ++g)
            if (a.groups[g] != b.groups[g])
                return false;
        return true;
    }
    friend bool operator!=(const ProcessorSet& a, const ProcessorSet& b) { return !(a == b); }
};
