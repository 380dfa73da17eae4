// The machine's processor groups and the one numbering of its processors that every text uses.
// Group g's processor with bit b is number base(g) + b, base(g) being the sum of the
// MaximumProcessorCount of the groups below g: on one group the numbers are the mask's bits, on
// two groups of 64 they run 0-127.
#pragma once

#include "common/affinity_mask.h"
#include "common/processor_set.h"

class ProcessPlatform;

struct ProcessorGroup {
    int base = 0;         // the number of the group's bit 0
    int maximumCount = 0; // processors the group can hold, active or not (at most 64)
    AffinityMask activeMask = 0;
};

// Plain fixed-size data, like ProcessorSet, so that it may cross the library's boundary.
class ProcessorGroups {
  public:
    // A machine of one group whose present processors are `active`: what a system without the
    // group query is, and what every machine of 64 processors or fewer is.
    static ProcessorGroups OneGroup(AffinityMask active);
    // Groups in the order given, numbered from 0; groups past kMaxProcessorGroups are dropped.
    static ProcessorGroups FromGroups(const ProcessorGroup* groups, int count);

    int count() const { return count_; }
    bool several() const { return count_ > 1; }
    const ProcessorGroup& group(int g) const { return groups_[g]; }

    // Every present processor of the machine, or of one group.
    ProcessorSet All() const;
    ProcessorSet AllOf(int g) const;
    // Whether the set holds every present processor of some group.
    bool HoldsAWholeGroup(const ProcessorSet& set) const;

    // The whole-machine number of group g's bit b.
    int Number(int g, int bit) const { return groups_[g].base + bit; }
    // The group and bit of a number; false for a number that no group's maximum reaches.
    bool Locate(int number, int* g, int* bit) const;
    // Calls visit(number) for each processor of the set, in increasing order of number.
    template <typename Visit> void ForEachNumber(const ProcessorSet& set, Visit visit) const {
        for (int g = 0; g < count_; ++g)
            for (int bit = 0; bit < kMaskProcessors; ++bit)
                if ((set.groups[g] & ProcessorBit(bit)) != 0)
                    visit(Number(g, bit));
    }

    // The processors that bits of `numbers` name as whole-machine numbers 0 to kMaskProcessors-1
    // (what the dialog's boxes and a script's mask name); on one group simply the bits. False,
    // with *set holding the others, when a bit names a number that no group has.
    bool FromNumbers(AffinityMask numbers, ProcessorSet* set) const;
    // The set as a mask of whole-machine numbers; false when one of its processors is numbered
    // kMaskProcessors or above.
    bool ToNumbers(const ProcessorSet& set, AffinityMask* numbers) const;

  private:
    int count_ = 0;
    ProcessorGroup groups_[kMaxProcessorGroups];
};

// The machine's active groups from GetLogicalProcessorInformationEx(RelationGroup); one group of
// the system information's active mask where that call is missing or fails. Callers ask
// ProcessPlatform::Groups(), which reads this once per platform.
ProcessorGroups ReadProcessorGroups(ProcessPlatform& platform);
