// State of the loaded library, set up and torn down by DllMain: with the class table and the
// private heap (engine/private_heap.h).
#pragma once

#include <windows.h>

void InitializeModuleState(HMODULE module);
void TerminateModuleState();

// The library's file path into `path`, which holds MAX_PATH bytes or more. A path that does not
// fit is refused rather than used cut short.
HRESULT ThisModuleFileName(char* path);

// The lock count: live objects, LockServer(TRUE) calls and outside holders of a class factory.
// The library may be unloaded only while it is 0.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();
