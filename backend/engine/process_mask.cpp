#include "engine/process_mask.h"

#include "engine/process_platform.h"

MaskChange SetProcessMask(unsigned long processId, AffinityMask mask) {
    ProcessPlatform& platform = CurrentProcessPlatform();
    ProcessHandle process(platform, platform.OpenProcess(PROCESS_SET_INFORMATION, processId));
    if (!process)
        return MaskChange::kNotOpened;
    return platform.SetProcessAffinityMask(process.get(), mask) ? MaskChange::kApplied
                                                                : MaskChange::kRefused;
}

bool GetProcessMask(unsigned long processId, AffinityMask* mask) {
    ProcessPlatform& platform = CurrentProcessPlatform();
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
