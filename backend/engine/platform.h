// The system calls behind the affinity engine. The engine reaches the platform only through the
// current AffinityPlatform, so tests can stand in for what real processes cannot produce
// (exactly 256 processes, a failing enumeration, a refused privilege).
#pragma once

#include <windows.h>

class AffinityPlatform {
  public:
    virtual ~AffinityPlatform() = default;

    virtual DWORD_PTR ActiveProcessorMask();
    virtual HANDLE OpenProcess(DWORD access, DWORD processId);
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

AffinityPlatform& CurrentAffinityPlatform();

// Puts a stand-in platform in place for the lifetime of the object.
class ScopedAffinityPlatform {
  public:
    explicit ScopedAffinityPlatform(AffinityPlatform& platform);
    ~ScopedAffinityPlatform();
    ScopedAffinityPlatform(const ScopedAffinityPlatform&) = delete;
    ScopedAffinityPlatform& operator=(const ScopedAffinityPlatform&) = delete;

  private:
    AffinityPlatform* previous_;
};
