// State of the loaded library, set up and torn down by DllMain.
#pragma once

#include "automation/type_info_holder.h"

#include <windows.h>
#include <unknwn.h>

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

// One creatable class of the library.
struct ClassEntry {
    const CLSID* clsid;
    // Writes (true) or removes (false) the class's registry entries; null when the class has
    // no registry script of its own.
    HRESULT (*updateRegistry)(bool registering);
    HRESULT (*createFactory)(REFIID iid, void** factory);
    HRESULT (*createInstance)(IUnknown* outer, REFIID iid, void** object);
    // Made on the first request and kept until the module state is torn down.
    IUnknown* factory;
    // Start-up (true) and shut-down (false) of the class; nothing to do for AffinityManager.
    void (*classStartup)(bool starting);
};

ClassEntry* ClassTableBegin();
ClassEntry* ClassTableEnd();

// Guards the creation of the cached class factories.
CRITICAL_SECTION& ClassTableLock();

// Type information of IAffinityManager, loaded from the registered type library when first used.
TypeInfoHolder& AffinityManagerTypeInfo();
