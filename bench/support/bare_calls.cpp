#include "bare_calls.h"

std::vector<DWORD> BareEnumerate() {
    SystemCalls system;
    return BareEnumerate(system);
}

int BareModuleSnapshot(std::vector<BareRow>* rows) {
    SystemCalls system;
    return BareModuleSnapshotOf(system, BareEnumerate(system), rows);
}

int BareImageSnapshot() {
    SystemCalls system;
    return BareImageSnapshotOf(system, BareEnumerate(system));
}

void BareMove(const std::vector<DWORD>& ids, DWORD_PTR mask) {
    SystemCalls system;
    BareMove(system, ids, mask);
}

void BareMoveAll(DWORD_PTR mask) {
    BareMove(BareEnumerate(), mask);
}

void BareIsolate(const std::vector<DWORD>& ids, DWORD_PTR mask) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    BareMoveAll(info.dwActiveProcessorMask & ~mask);
    BareMove(ids, mask);
}
