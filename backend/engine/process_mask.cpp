#include "engine/process_mask.h"

#include "engine/process_placement.h"
#include "engine/process_platform.h"

namespace {

// The one call that sets a process's default CPU sets: one GROUP_AFFINITY per group of the set,
// and none, which clears them, for the empty set.
MaskChange ApplyDefaultCpuSets(unsigned long processId, const ProcessorSet& processors) {
    GROUP_AFFINITY masks[kMaxProcessorGroups] = {};
    USHORT count = 0;
    for (int g = 0; g < kMaxProcessorGroups; ++g) {
        if (processors.groups[g] == 0)
            continue;
        masks[count].Group = static_cast<WORD>(g);
        masks[count].Mask = processors.groups[g];
        ++count;
    }
    ProcessPlatform& platform = CurrentProcessPlatform();
    ProcessHandle process(platform, platform.OpenProcess(kProcessSetLimitedInformation, processId));
    if (!process)
        return MaskChange::kNotOpened;
    return platform.SetProcessDefaultCpuSetMasks(process.get(), count != 0 ? masks : nullptr, count)
               ? MaskChange::kApplied
               : MaskChange::kRefused;
}

// Where the process may run, through a handle for limited query that is closed again before any
// change is asked. False when it does not open or cannot tell.
bool ReadPlacement(unsigned long processId, ProcessPlacement* placement) {
    ProcessPlatform& platform = CurrentProcessPlatform();
    ProcessHandle process(platform,
                          platform.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, processId));
    if (!process)
        return false;
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    return platform.GetProcessAffinityMask(process.get(), &processMask, &systemMask) &&
           ReadProcessPlacement(platform, process.get(), processMask, placement);
}

ProcessChange Changed(MaskChange change) {
    ProcessChange result;
    result.change = change;
    return result;
}

ProcessChange Refused(GroupRefusal refusal, int group = 0) {
    return {MaskChange::kRefused, refusal, group};
}

} // namespace

MaskChange ApplyProcessMask(unsigned long processId, AffinityMask mask) {
    ProcessPlatform& platform = CurrentProcessPlatform();
    ProcessHandle process(platform, platform.OpenProcess(PROCESS_SET_INFORMATION, processId));
    if (!process)
        return MaskChange::kNotOpened;
    return platform.SetProcessAffinityMask(process.get(), mask) ? MaskChange::kApplied
                                                                : MaskChange::kRefused;
}

MaskChange SetProcessMask(unsigned long processId, AffinityMask mask) {
    const ProcessorGroups& groups = CurrentProcessPlatform().Groups();
    if (!groups.several())
        return ApplyProcessMask(processId, mask);
    ProcessorSet processors;
    if (groups.FromNumbers(mask, &processors) && !processors.empty())
        return MoveProcessOnto(processId, processors).change;
    // As on one group: a process that opens refuses a mask of no processor or an absent one.
    ProcessPlacement placement;
    return ReadPlacement(processId, &placement) ? MaskChange::kRefused : MaskChange::kNotOpened;
}

bool GetProcessMask(unsigned long processId, AffinityMask* mask) {
    ProcessPlatform& platform = CurrentProcessPlatform();
    const ProcessorGroups& groups = platform.Groups();
    if (groups.several()) {
        ProcessPlacement placement;
        if (!ReadPlacement(processId, &placement))
            return false;
        if (placement.kind == PlacementKind::kPlacedByItself) {
            *mask = 0;
            return true;
        }
        return groups.ToNumbers(placement.processors, mask);
    }
    ProcessHandle process(platform, platform.OpenProcess(PROCESS_QUERY_INFORMATION, processId));
    if (!process)
        return false;
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (!platform.GetProcessAffinityMask(process.get(), &processMask, &systemMask))
        return false;
    *mask = processMask;
    return true;
}

bool AllProcessorNumbers(AffinityMask* numbers) {
    ProcessPlatform& platform = CurrentProcessPlatform();
    const ProcessorGroups& groups = platform.Groups();
    if (!groups.several()) {
        *numbers = platform.ActiveProcessorMask();
        return true;
    }
    return groups.ToNumbers(groups.All(), numbers);
}

ProcessChange MoveProcessOnto(unsigned long processId, const ProcessorSet& processors) {
    ProcessPlacement placement;
    if (!ReadPlacement(processId, &placement))
        return Changed(MaskChange::kNotOpened);
    switch (placement.kind) {
    case PlacementKind::kOneGroup:
        // "No documented call moves a process to another group."
        if (!processors.WithinGroup(placement.group))
            return Refused(GroupRefusal::kOtherGroup, placement.group);
        return Changed(ApplyProcessMask(processId, processors.groups[placement.group]));
    case PlacementKind::kSpanning:
        // A mask would confine it to its primary group for good; CPU sets keep it spanning.
        return Changed(ApplyDefaultCpuSets(processId, processors));
    case PlacementKind::kPlacedByItself:
        break;
    }
    return Refused(GroupRefusal::kPlacedByItself);
}

ProcessChange MoveProcessOffOf(unsigned long processId, const ProcessorSet& processors) {
    ProcessPlacement placement;
    if (!ReadPlacement(processId, &placement))
        return Changed(MaskChange::kNotOpened);
    const ProcessorGroups& groups = CurrentProcessPlatform().Groups();
    switch (placement.kind) {
    case PlacementKind::kOneGroup:
        return Changed(ApplyProcessMask(
            processId, groups.AllOf(placement.group).Without(processors).groups[placement.group]));
    case PlacementKind::kSpanning:
        return Changed(ApplyDefaultCpuSets(processId, groups.All().Without(processors)));
    case PlacementKind::kPlacedByItself:
        break;
    }
    return Refused(GroupRefusal::kPlacedByItself);
}

ProcessChange ResetProcess(unsigned long processId) {
    ProcessPlacement placement;
    if (!ReadPlacement(processId, &placement))
        return Changed(MaskChange::kNotOpened);
    ProcessPlatform& platform = CurrentProcessPlatform();
    switch (placement.kind) {
    case PlacementKind::kOneGroup: {
        const MaskChange change =
            ApplyProcessMask(processId, platform.Groups().group(placement.group).activeMask);
        // Windows 11 may still hold default CPU sets narrower than the group; the mask decides
        // the result, as it is the part that binds.
        if (platform.HasDefaultCpuSetMasks())
            ApplyDefaultCpuSets(processId, ProcessorSet{});
        return Changed(change);
    }
    case PlacementKind::kSpanning:
        return Changed(ApplyDefaultCpuSets(processId, ProcessorSet{}));
    case PlacementKind::kPlacedByItself:
        break;
    }
    // Its own placement is the only one it has; leaving it is what a reset can do.
    return Changed(MaskChange::kApplied);
}
