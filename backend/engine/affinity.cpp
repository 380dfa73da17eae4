#include "engine/affinity.h"

#include "engine/process_ids.h"
#include "engine/process_mask.h"
#include "engine/process_platform.h"

namespace {

const ProcessorGroups& MachineGroups() {
    return CurrentProcessPlatform().Groups();
}

void Count(const ProcessChange& change, GroupRefusals* refusals) {
    if (refusals == nullptr)
        return;
    if (change.refusal == GroupRefusal::kOtherGroup)
        ++refusals->inOneGroup[change.group];
    else if (change.refusal == GroupRefusal::kPlacedByItself)
        ++refusals->placedThemselves;
}

bool Listed(unsigned long processId, int count, const unsigned long* processIds) {
    for (int i = 0; i < count; ++i)
        if (processIds[i] == processId)
            return true;
    return false;
}

// The result of the engine's loops: the last process that opened decides.
void Note(MaskChange change, bool* result) {
    if (change != MaskChange::kNotOpened)
        *result = change == MaskChange::kApplied;
}

// Every process of the system through one change; false when the enumeration fails or is empty.
template <typename Change> bool ChangeAllProcesses(Change change) {
    ProcessIdList all(CurrentProcessPlatform());
    if (!all.Enumerate() || all.count() <= 0)
        return false;
    bool result = false;
    for (int i = 0; i < all.count(); ++i)
        Note(change(all.ids()[i]), &result);
    return result;
}

// The processors that a mask's bits name as whole-machine numbers; false for a bit of a number
// that no group has, which no process would accept.
bool SetOfNumbers(AffinityMask mask, ProcessorSet* processors) {
    return MachineGroups().FromNumbers(mask, processors);
}

void Clear(GroupRefusals* refusals) {
    if (refusals != nullptr)
        *refusals = GroupRefusals{};
}

} // namespace

AffinityMask GenerateAllProcessorsMask() {
    return CurrentProcessPlatform().ActiveProcessorMask();
}

bool MoveProcesses(int count, unsigned long* processIds, AffinityMask mask) {
    bool result = false;
    if (count <= 0)
        return result;
    if (MachineGroups().several()) {
        ProcessorSet processors;
        return SetOfNumbers(mask, &processors) &&
               MoveProcessesOnto(count, processIds, processors, nullptr);
    }
    for (int i = 0; i < count; ++i)
        Note(ApplyProcessMask(processIds[i], mask), &result);
    return result;
}

bool MoveAllProcesses(AffinityMask mask) {
    if (!MachineGroups().several())
        return ChangeAllProcesses(
            [&](unsigned long processId) { return ApplyProcessMask(processId, mask); });
    ProcessorSet processors;
    if (!SetOfNumbers(mask, &processors) || processors.empty())
        return false;
    return ChangeAllProcesses(
        [&](unsigned long processId) { return MoveProcessOnto(processId, processors).change; });
}

bool IsolateProcesses(int count, unsigned long* processIds, AffinityMask mask) {
    if (MachineGroups().several()) {
        ProcessorSet processors;
        return SetOfNumbers(mask, &processors) &&
               IsolateProcessesOn(count, processIds, processors, nullptr);
    }
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

bool MoveProcessesOnto(int count, unsigned long* processIds, const ProcessorSet& processors,
                       GroupRefusals* refusals) {
    Clear(refusals);
    const ProcessorGroups& groups = MachineGroups();
    if (!groups.several())
        return processors.WithinGroup(0) && MoveProcesses(count, processIds, processors.groups[0]);
    // An empty set of CPU sets would clear them rather than move anything.
    if (count <= 0 || processors.empty())
        return false;
    bool result = false;
    for (int i = 0; i < count; ++i) {
        const ProcessChange change = MoveProcessOnto(processIds[i], processors);
        Count(change, refusals);
        Note(change.change, &result);
    }
    return result;
}

bool IsolateProcessesOn(int count, unsigned long* processIds, const ProcessorSet& processors,
                        GroupRefusals* refusals) {
    Clear(refusals);
    const ProcessorGroups& groups = MachineGroups();
    if (!groups.several())
        return processors.WithinGroup(0) &&
               IsolateProcesses(count, processIds, processors.groups[0]);
    if (processors.empty() || !processors.Without(groups.All()).empty() ||
        groups.HoldsAWholeGroup(processors))
        return false;
    const bool othersMoved = ChangeAllProcesses([&](unsigned long processId) {
        const ProcessChange change = MoveProcessOffOf(processId, processors);
        if (refusals != nullptr && change.refusal == GroupRefusal::kPlacedByItself &&
            !Listed(processId, count, processIds))
            ++refusals->othersLeft;
        return change.change;
    });
    GroupRefusals listed{};
    const bool listedMoved =
        MoveProcessesOnto(count, processIds, processors, refusals != nullptr ? &listed : nullptr);
    if (refusals != nullptr) {
        listed.othersLeft = refusals->othersLeft;
        *refusals = listed;
    }
    return othersMoved && listedMoved;
}

bool ResetAllProcesses() {
    if (!MachineGroups().several())
        return MoveAllProcesses(GenerateAllProcessorsMask());
    return ChangeAllProcesses(
        [](unsigned long processId) { return ResetProcess(processId).change; });
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
