#include "engine/process_placement.h"

namespace {
// Both buffer protocols answer "more room" when a group was added between two calls; a few
// retries cover that.
constexpr int kReadAttempts = 4;

// The groups the process's threads are assigned to, in the platform's order; false when the
// system cannot tell.
bool ReadGroups(ProcessPlatform& platform, HANDLE process, USHORT* groups, USHORT* count) {
    USHORT room = static_cast<USHORT>(platform.Groups().count());
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        USHORT asked = room;
        DWORD lastError = ERROR_SUCCESS;
        if (platform.GetProcessGroupAffinity(process, &asked, groups, &lastError)) {
            *count = asked;
            return asked > 0;
        }
        if (lastError != ERROR_INSUFFICIENT_BUFFER || asked <= room || asked > kMaxProcessorGroups)
            return false;
        room = asked;
    }
    return false;
}

// The process's default CPU sets, or the empty set when it has none; false when the system
// cannot tell.
bool ReadDefaultCpuSets(ProcessPlatform& platform, HANDLE process, ProcessorSet* sets) {
    GROUP_AFFINITY masks[kMaxProcessorGroups] = {};
    USHORT room = static_cast<USHORT>(platform.Groups().count());
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        USHORT required = 0;
        DWORD lastError = ERROR_SUCCESS;
        if (platform.GetProcessDefaultCpuSetMasks(process, masks, room, &required, &lastError)) {
            *sets = ProcessorSet{};
            for (USHORT i = 0; i < required && i < room; ++i)
                if (masks[i].Group < kMaxProcessorGroups)
                    sets->groups[masks[i].Group] |= masks[i].Mask;
            return true;
        }
        if (lastError != ERROR_INSUFFICIENT_BUFFER || required <= room ||
            required > kMaxProcessorGroups)
            return false;
        room = required;
    }
    return false;
}
} // namespace

bool ReadProcessPlacement(ProcessPlatform& platform, HANDLE process, AffinityMask processMask,
                          ProcessPlacement* placement) {
    // "GetProcessAffinityMask: returns 0 for both masks when the process has threads in several
    // groups (Windows 10), or on Windows 11 when it explicitly set a thread's affinity outside its
    // primary group": no group call can tell more about such a process.
    if (processMask == 0) {
        *placement = ProcessPlacement{};
        placement->kind = PlacementKind::kPlacedByItself;
        return true;
    }
    // "GetProcessGroupAffinity lists every group one of the process's threads is assigned to."
    USHORT groups[kMaxProcessorGroups] = {};
    USHORT count = 0;
    if (!ReadGroups(platform, process, groups, &count))
        return false;
    const ProcessorGroups& machine = platform.Groups();
    ProcessPlacement read;
    if (count == 1) {
        if (groups[0] >= machine.count())
            return false;
        // The mask calls act on the process's (primary) group, which is then its only one.
        read.group = groups[0];
        read.processors = ProcessorSet::InGroup(groups[0], processMask);
    } else if (!platform.HasDefaultCpuSetMasks()) {
        // Without Windows 11's CPU set masks nothing could change a process that spans groups.
        read.kind = PlacementKind::kPlacedByItself;
    } else {
        // "Windows 11: processes and their threads span all groups by default", with a mask of
        // its primary group: it may use every processor of its groups, unless it has default CPU
        // sets, which then say where its threads run.
        read.kind = PlacementKind::kSpanning;
        for (USHORT i = 0; i < count; ++i)
            if (groups[i] < machine.count())
                read.processors = read.processors.Union(machine.AllOf(groups[i]));
        ProcessorSet cpuSets;
        if (!ReadDefaultCpuSets(platform, process, &cpuSets))
            return false;
        if (!cpuSets.empty()) {
            read.processors = cpuSets;
            read.cpuSets = true;
        }
    }
    *placement = read;
    return true;
}
