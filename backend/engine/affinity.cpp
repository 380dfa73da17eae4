#include "engine/affinity.h"

#include "engine/process_ids.h"
#include "engine/process_mask.h"
#include "engine/process_platform.h"

AffinityMask GenerateAllProcessorsMask() {
    return CurrentProcessPlatform().ActiveProcessorMask();
}

bool MoveProcesses(int count, unsigned long* processIds, AffinityMask mask) {
    bool result = false;
    if (count <= 0)
        return result;
    for (int i = 0; i < count; ++i) {
        const MaskChange change = SetProcessMask(processIds[i], mask);
        if (change != MaskChange::kNotOpened)
            result = change == MaskChange::kApplied;
    }
    return result;
}

bool MoveAllProcesses(AffinityMask mask) {
    ProcessIdList all(CurrentProcessPlatform());
    if (!all.Enumerate() || all.count() <= 0)
        return false;
    return MoveProcesses(all.count(), all.ids(), mask);
}

bool IsolateProcesses(int count, unsigned long* processIds, AffinityMask mask) {
    const AffinityMask present = GenerateAllProcessorsMask();
    const AffinityMask complement = present & ~mask;
    // Refused masks would otherwise change every other process before the listed ones fail.
    if (mask == 0 || (mask & ~present) != 0 || complement == 0)
        return false;
    // The first step reports on whichever process came last, often one that ended or refuses
    // and has nothing to do with the listed ones: they are moved onto the mask all the same.
    const bool othersMoved = MoveAllProcesses(complement);
    const bool listedMoved = MoveProcesses(count, processIds, mask);
    return othersMoved && listedMoved;
}

bool EnableServiceManipulation() {
    ProcessPlatform& platform = CurrentProcessPlatform();
    HANDLE rawToken = nullptr;
    if (!platform.OpenCurrentProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return false;
    ProcessHandle token(platform, rawToken);

    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!platform.LookupPrivilege("SeDebugPrivilege", &privileges.Privileges[0].Luid))
        return false;

    DWORD lastError = ERROR_SUCCESS;
    const BOOL adjusted =
        platform.AdjustTokenPrivileges(token.get(), &privileges, sizeof(privileges), &lastError);
    // The call succeeds even when the token lacks the privilege; only the last error tells.
    return adjusted && lastError != ERROR_NOT_ALL_ASSIGNED;
}
