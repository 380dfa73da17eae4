// The system calls behind the process snapshot. The snapshot reaches the
// platform only through the current SnapshotPlatform, so tests can stand in for what real
// processes cannot produce (exactly 256 processes, a failing enumeration, a process that opens
// but has no module list, a process that denies reading its memory, an image path longer than
// MAX_PATH).
#pragma once

#include "common/platform_seam.h"

#include <windows.h>

class SnapshotPlatform {
  public:
    virtual ~SnapshotPlatform() = default;

    virtual BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
    virtual HANDLE OpenProcess(DWORD access, DWORD processId);
    virtual BOOL EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                         DWORD* bytesNeeded);
    virtual DWORD ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size);
    // QueryFullProcessImageNameA in the Win32 path format: on entry *size is the room of path in
    // characters, on success the length written. Returns the call's result and the thread's last
    // error right after it.
    virtual BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError);
    virtual BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                        DWORD_PTR* systemMask);
    virtual BOOL CloseHandle(HANDLE handle);
};

inline SnapshotPlatform& CurrentSnapshotPlatform() {
    return PlatformSeam<SnapshotPlatform>::Current();
}

// Puts a stand-in platform in place for the lifetime of the object.
using ScopedSnapshotPlatform = PlatformSeam<SnapshotPlatform>::Scoped;
