#include "bare_calls.h"

#include <psapi.h>

std::vector<DWORD> BareEnumerate() {
    for (DWORD capacity = 256;; capacity *= 2) {
        std::vector<DWORD> ids(capacity);
        DWORD written = 0;
        const DWORD bytes = capacity * sizeof(DWORD);
        if (!::EnumProcesses(ids.data(), bytes, &written))
            return {};
        if (written != bytes) {
            ids.resize(written / sizeof(DWORD));
            return ids;
        }
    }
}

int BareSnapshot() {
    int read = 0;
    for (DWORD id : BareEnumerate()) {
        HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
        if (process == nullptr)
            continue;
        HMODULE module = nullptr;
        DWORD needed = 0;
        char path[MAX_PATH];
        DWORD_PTR processMask = 0, systemMask = 0;
        if (::EnumProcessModules(process, &module, sizeof(module), &needed) &&
            ::GetModuleFileNameExA(process, module, path, MAX_PATH) != 0 &&
            ::GetProcessAffinityMask(process, &processMask, &systemMask))
            ++read;
        ::CloseHandle(process);
    }
    return read;
}

void BareMove(const std::vector<DWORD>& ids, DWORD_PTR mask) {
    for (DWORD id : ids) {
        HANDLE process = ::OpenProcess(PROCESS_SET_INFORMATION, FALSE, id);
        if (process == nullptr)
            continue;
        ::SetProcessAffinityMask(process, mask);
        ::CloseHandle(process);
    }
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
