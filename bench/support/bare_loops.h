// The floors' loops, over any set of calls named as the product's seams name them: the system's
// own functions (SystemCalls), a seam's stand-in, or the system's functions timed one by one.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <string>
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
    BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError) {
        const BOOL result = ::QueryFullProcessImageNameA(process, 0, path, size);
        *lastError = result ? ERROR_SUCCESS : ::GetLastError();
        return result;
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

// One process as a bare loop read it: what a list shows of it, before the file name is taken.
struct BareRow {
    DWORD id;
    std::string path;
    DWORD_PTR mask;
};

// Per process: open, read the path with readPath(process, path), the affinity, close. Appends
// what it read to rows unless that is null; returns how many processes could be read.
template <typename Calls, typename ReadPath>
int BareSnapshotOf(Calls& calls, const std::vector<DWORD>& ids, DWORD access, ReadPath readPath,
                   std::vector<BareRow>* rows) {
    int read = 0;
    for (DWORD id : ids) {
        HANDLE process = calls.OpenProcess(access, id);
        if (process == nullptr)
            continue;
        char path[MAX_PATH];
        DWORD_PTR processMask = 0, systemMask = 0;
        if (readPath(process, path) &&
            calls.GetProcessAffinityMask(process, &processMask, &systemMask)) {
            ++read;
            if (rows != nullptr)
                rows->push_back({id, path, processMask});
        }
        calls.CloseHandle(process);
    }
    return read;
}

// The module route: open for query and memory read, the first module, its file name.
template <typename Calls>
int BareModuleSnapshotOf(Calls& calls, const std::vector<DWORD>& ids,
                         std::vector<BareRow>* rows = nullptr) {
    return BareSnapshotOf(
        calls, ids, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ,
        [&](HANDLE process, char* path) {
            HMODULE module = nullptr;
            DWORD needed = 0;
            return calls.EnumerateProcessModules(process, &module, sizeof(module), &needed) &&
                   calls.ModuleFilePath(process, module, path, MAX_PATH) != 0;
        },
        rows);
}

// The image-name route: open for limited query, the image path asked of the system.
template <typename Calls>
int BareImageSnapshotOf(Calls& calls, const std::vector<DWORD>& ids,
                        std::vector<BareRow>* rows = nullptr) {
    return BareSnapshotOf(
        calls, ids, PROCESS_QUERY_LIMITED_INFORMATION,
        [&](HANDLE process, char* path) {
            DWORD size = MAX_PATH, lastError = 0;
            return calls.ImageFilePath(process, path, &size, &lastError) != FALSE;
        },
        rows);
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
