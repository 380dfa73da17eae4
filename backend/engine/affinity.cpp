#include "engine/affinity.h"

#include "engine/platform.h"
#include "common/process_enumeration.h"

namespace {

// Identifiers of every process, from the private heap.
class ProcessIdList {
  public:
    explicit ProcessIdList(AffinityPlatform& platform) : platform_(platform) {}
    ~ProcessIdList() { platform_.Free(ids_); }
    ProcessIdList(const ProcessIdList&) = delete;
    ProcessIdList& operator=(const ProcessIdList&) = delete;

    bool Enumerate() {
        DWORD written = 0;
        const bool enumerated = EnumerateWithDoubling(
            [this](DWORD bytes, DWORD* bytesWritten) {
                platform_.Free(ids_);
                ids_ = static_cast<DWORD*>(platform_.Allocate(bytes));
                return ids_ != nullptr && platform_.EnumerateProcesses(ids_, bytes, bytesWritten);
            },
            &written);
        count_ = enumerated ? static_cast<int>(written / sizeof(DWORD)) : 0;
        return enumerated;
    }

    int count() const { return count_; }
    unsigned long* ids() const { return reinterpret_cast<unsigned long*>(ids_); }

  private:
    AffinityPlatform& platform_;
    DWORD* ids_ = nullptr;
    int count_ = 0;
};

} // namespace

AffinityMask GenerateAllProcessorsMask() {
    return CurrentAffinityPlatform().ActiveProcessorMask();
}

bool MoveProcesses(int count, unsigned long* processIds, AffinityMask mask) {
    bool result = false;
    if (count <= 0)
        return result;
    AffinityPlatform& platform = CurrentAffinityPlatform();
    for (int i = 0; i < count; ++i) {
        AffinityHandle process(platform,
                               platform.OpenProcess(PROCESS_SET_INFORMATION, processIds[i]));
        if (process.get() != nullptr)
            result = platform.SetProcessAffinityMask(process.get(), mask) != FALSE;
    }
    return result;
}

bool MoveAllProcesses(AffinityMask mask) {
    ProcessIdList all(CurrentAffinityPlatform());
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
    AffinityPlatform& platform = CurrentAffinityPlatform();
    HANDLE rawToken = nullptr;
    if (!platform.OpenCurrentProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return false;
    AffinityHandle token(platform, rawToken);

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
