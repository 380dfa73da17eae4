// State of the loaded library, set up and torn down by DllMain.
#pragma once

#include <windows.h>

void InitializeModuleState(HMODULE module);
void TerminateModuleState();

// The library's file path into `path`, which holds MAX_PATH bytes or more. A path that does not
// fit is refused rather than used cut short.
HRESULT ThisModuleFileName(char* path);

// The library's private heap. Allocation creates the heap on first use, so code linked into a
// program (the tests) works without DllMain too.
void* PrivateHeapAlloc(SIZE_T bytes);
void PrivateHeapFree(void* block);

// The lock count: live objects, LockServer(TRUE) calls and outside holders of a class factory.
// The library may be unloaded only while it is 0.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();
