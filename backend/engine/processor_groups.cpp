#include "engine/processor_groups.h"

#include "engine/process_platform.h"

#include <cstddef>
#include <vector>

namespace {
using Record = SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX;
constexpr DWORD kHeaderBytes = offsetof(Record, Group);
constexpr DWORD kGroupInfoOffset = kHeaderBytes + offsetof(GROUP_RELATIONSHIP, GroupInfo);

// The groups of the first RelationGroup record that holds them whole; none when there is no such
// record.
std::vector<ProcessorGroup> GroupsOf(const std::vector<BYTE>& buffer) {
    for (size_t offset = 0; offset + kGroupInfoOffset <= buffer.size();) {
        const auto& record = *reinterpret_cast<const Record*>(buffer.data() + offset);
        if (record.Size < kHeaderBytes || offset + record.Size > buffer.size())
            break;
        const WORD active = record.Group.ActiveGroupCount;
        if (record.Relationship == RelationGroup && active > 0 &&
            kGroupInfoOffset + active * sizeof(PROCESSOR_GROUP_INFO) <= record.Size) {
            std::vector<ProcessorGroup> groups;
            int base = 0;
            for (WORD g = 0; g < active; ++g) {
                const PROCESSOR_GROUP_INFO& info = record.Group.GroupInfo[g];
                groups.push_back({base, info.MaximumProcessorCount,
                                  static_cast<AffinityMask>(info.ActiveProcessorMask)});
                base += info.MaximumProcessorCount;
            }
            return groups;
        }
        offset += record.Size;
    }
    return {};
}
} // namespace

ProcessorGroups ProcessorGroups::OneGroup(AffinityMask active) {
    const ProcessorGroup only{0, kMaskProcessors, active};
    return FromGroups(&only, 1);
}

ProcessorGroups ProcessorGroups::FromGroups(const ProcessorGroup* groups, int count) {
    ProcessorGroups machine;
    machine.count_ = count < kMaxProcessorGroups ? count : kMaxProcessorGroups;
    for (int g = 0; g < machine.count_; ++g)
        machine.groups_[g] = groups[g];
    return machine;
}

ProcessorSet ProcessorGroups::All() const {
    ProcessorSet all;
    for (int g = 0; g < count_; ++g)
        all.groups[g] = groups_[g].activeMask;
    return all;
}

ProcessorSet ProcessorGroups::AllOf(int g) const {
    return ProcessorSet::InGroup(g, groups_[g].activeMask);
}

bool ProcessorGroups::HoldsAWholeGroup(const ProcessorSet& set) const {
    for (int g = 0; g < count_; ++g)
        if (groups_[g].activeMask != 0 && (groups_[g].activeMask & ~set.groups[g]) == 0)
            return true;
    return false;
}

bool ProcessorGroups::Locate(int number, int* g, int* bit) const {
    for (int i = 0; i < count_; ++i) {
        const int offset = number - groups_[i].base;
        if (offset >= 0 && offset < groups_[i].maximumCount && offset < kMaskProcessors) {
            *g = i;
            *bit = offset;
            return true;
        }
    }
    return false;
}

bool ProcessorGroups::FromNumbers(AffinityMask numbers, ProcessorSet* set) const {
    *set = ProcessorSet{};
    // On one group the numbers are the bits, whatever maximum the system reports for it.
    if (count_ == 1) {
        set->groups[0] = numbers;
        return true;
    }
    bool all = true;
    for (int number = 0; number < kMaskProcessors; ++number) {
        if ((numbers & ProcessorBit(number)) == 0)
            continue;
        int g = 0;
        int bit = 0;
        if (Locate(number, &g, &bit))
            set->groups[g] |= ProcessorBit(bit);
        else
            all = false;
    }
    return all;
}

bool ProcessorGroups::ToNumbers(const ProcessorSet& set, AffinityMask* numbers) const {
    AffinityMask result = 0;
    bool fits = true;
    ForEachNumber(set, [&](int number) {
        if (number < kMaskProcessors)
            result |= ProcessorBit(number);
        else
            fits = false;
    });
    if (fits)
        *numbers = result;
    return fits;
}

ProcessorGroups ReadProcessorGroups(ProcessPlatform& platform) {
    const std::vector<ProcessorGroup> groups =
        GroupsOf(ReadLogicalProcessorRecords([&](Record* records, DWORD* length, DWORD* lastError) {
            return platform.ProcessorGroupInformation(records, length, lastError);
        }));
    if (groups.empty())
        return ProcessorGroups::OneGroup(platform.ActiveProcessorMask());
    return ProcessorGroups::FromGroups(groups.data(), static_cast<int>(groups.size()));
}
