// The floors' loops, over any set of calls named as the product's seams name them: the system's
// own functions (SystemCalls), a seam's stand-in, or the system's functions timed one by one.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <vector>

struct SystemCalls {
    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) {
        return ::EnumProcesses(ids, bytes, bytesReturned);
    }
    HANDLE OpenProcess(DWORD access, DWORD processId) {
        return ::OpenProcess(access, FALSE, processId);
    }
    BOOL EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                 DWORD* bytesNeeded) {
        return ::EnumProcessModules(process, modules, bytes, bytesNeeded);
    }
    DWORD ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size) {
        return ::GetModuleFileNameExA(process, module, path, size);
    }
    BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask) {
        return ::GetProcessAffinityMask(process, processMask, systemMask);
    }
    BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) {
        return ::SetProcessAffinityMask(process, mask);
    }
    BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }
};

// Every process identifier, with the product's rule: start with room for 256 and double while the
// system fills the buffer exactly. Empty when the enumeration fails.
template <typename Calls> std::vector<DWORD> BareEnumerate(Calls& calls) {
    for (DWORD capacity = 256;; capacity *= 2) {
        std::vector<DWORD> ids(capacity);
        const DWORD bytes = capacity * sizeof(DWORD);
        DWORD written = 0;
        if (!calls.EnumerateProcesses(ids.data(), bytes, &written))
            return {};
        if (written != bytes) {
            ids.resize(written / sizeof(DWORD));
            return ids;
        }
    }
}

// Per process: open for query and read, the first module, its file name, the affinity, close.
// Returns how many processes could be read.
template <typename Calls> int BareSnapshotOf(Calls& calls, const std::vector<DWORD>& ids) {
    int read = 0;
    for (DWORD id : ids) {
        HANDLE process = calls.OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, id);
        if (process == nullptr)
            continue;
        HMODULE module = nullptr;
        DWORD needed = 0;
        char path[MAX_PATH];
        DWORD_PTR processMask = 0, systemMask = 0;
        if (calls.EnumerateProcessModules(process, &module, sizeof(module), &needed) &&
            calls.ModuleFilePath(process, module, path, MAX_PATH) != 0 &&
            calls.GetProcessAffinityMask(process, &processMask, &systemMask))
            ++read;
        calls.CloseHandle(process);
    }
    return read;
}

template <typename Calls> int BareSnapshot(Calls& calls) {
    return BareSnapshotOf(calls, BareEnumerate(calls));
}

// Per process: open for setting information, set the mask, close.
template <typename Calls>
void BareMove(Calls& calls, const std::vector<DWORD>& ids, DWORD_PTR mask) {
    for (DWORD id : ids) {
        HANDLE process = calls.OpenProcess(PROCESS_SET_INFORMATION, id);
        if (process == nullptr)
            continue;
        calls.SetProcessAffinityMask(process, mask);
        calls.CloseHandle(process);
    }
}
