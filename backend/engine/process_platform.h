// The system calls through which the program and the library reach processes: the affinity
// engine, the automation object's per-process methods and the program's process snapshot all ask
// the current ProcessPlatform, so tests can stand in for what real processes cannot produce
// (exactly 256 processes, a failing enumeration, a refused privilege, a process that opens but
// has no module list, an image path longer than MAX_PATH, a machine of one processor).
#pragma once

#include "common/affinity_mask.h"
#include "common/platform_handle.h"
#include "common/platform_seam.h"

#include <windows.h>

class ProcessPlatform {
  public:
    virtual ~ProcessPlatform() = default;

    // The machine's processors: their count and the mask of those present.
    virtual void QuerySystemInfo(SYSTEM_INFO* info);
    virtual BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
    virtual HANDLE OpenProcess(DWORD access, DWORD processId);
    virtual BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                        DWORD_PTR* systemMask);
    virtual BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask);
    // QueryFullProcessImageNameA in the Win32 path format: on entry *size is the room of path in
    // characters, on success the length written. Returns the call's result and the thread's last
    // error right after it.
    virtual BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError);
    virtual BOOL EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                         DWORD* bytesNeeded);
    virtual DWORD ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size);
    virtual BOOL CloseHandle(HANDLE handle);
    virtual BOOL OpenCurrentProcessToken(DWORD access, HANDLE* token);
    virtual BOOL LookupPrivilege(const char* name, LUID* luid);
    // Returns the call's result and the thread's last error right after it.
    virtual BOOL AdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* state, DWORD length,
                                       DWORD* lastError);
    // Blocks of the private heap (engine/private_heap.h).
    virtual void* Allocate(SIZE_T bytes);
    virtual void Free(void* block);

    // The mask of the processors present, from QuerySystemInfo.
    AffinityMask ActiveProcessorMask();
};

inline ProcessPlatform& CurrentProcessPlatform() {
    return PlatformSeam<ProcessPlatform>::Current();
}

// Puts a stand-in platform in place for the lifetime of the object.
using ScopedProcessPlatform = PlatformSeam<ProcessPlatform>::Scoped;

// A process or token handle closed through the platform that opened it.
using ProcessHandle = PlatformHandle<ProcessPlatform>;
