// The system calls behind the affinity engine and the automation object's per-process methods.
// Both reach the platform only through the current AffinityPlatform, so tests can stand in for what
// real processes cannot produce (exactly 256 processes, a failing enumeration, a refused
// privilege).
#pragma once

#include "common/platform_handle.h"
#include "common/platform_seam.h"

#include <windows.h>

class AffinityPlatform {
  public:
    virtual ~AffinityPlatform() = default;

    virtual DWORD_PTR ActiveProcessorMask();
    virtual HANDLE OpenProcess(DWORD access, DWORD processId);
    virtual BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                        DWORD_PTR* systemMask);
    virtual BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);
    virtual BOOL CloseHandle(HANDLE handle);
    virtual BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
    virtual BOOL OpenCurrentProcessToken(DWORD access, HANDLE* token);
    virtual BOOL LookupPrivilege(const char* name, LUID* luid);
    // Returns the call's result and the thread's last error right after it.
    virtual BOOL AdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* state, DWORD length,
                                       DWORD* lastError);
    virtual void* Allocate(SIZE_T bytes);
    virtual void Free(void* block);
};

inline AffinityPlatform& CurrentAffinityPlatform() {
    return PlatformSeam<AffinityPlatform>::Current();
}

// Puts a stand-in platform in place for the lifetime of the object.
using ScopedAffinityPlatform = PlatformSeam<AffinityPlatform>::Scoped;

// A process or token handle closed through the platform that opened it.
using AffinityHandle = PlatformHandle<AffinityPlatform>;
