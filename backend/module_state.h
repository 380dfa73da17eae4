// What the loaded library knows of itself: its module handle, which DllMain sets, and the lock
// count that DllCanUnloadNow reads. It depends on nothing else of the library.
#pragma once

#include <windows.h>

void SetThisModule(HMODULE module);

// The library's file path into `path`, which holds MAX_PATH bytes or more. A path that does not
// fit is refused rather than used cut short.
HRESULT ThisModuleFileName(char* path);

// The lock count: live objects, LockServer(TRUE) calls and outside holders of the class object.
// The library may be unloaded only while it is 0.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();
