// The library's creatable classes: what DllGetClassObject needs to make each one's class factory,
// and what DllRegisterServer and DllUnregisterServer need to register it.
#pragma once

#include "automation/class_factory.h"

#include <windows.h>
#include <unknwn.h>

#include <atomic>

struct ClassEntry {
    const CLSID* clsid;
    // Writes (true) or removes (false) the class's registry entries; null when the class has no
    // registry script of its own.
    HRESULT (*updateRegistry)(bool registering);
    // Makes an object of the class; the class factory calls it.
    ClassFactory::InstanceRoutine createInstance;
    // The class factory, made on the first request and kept until the table is torn down. Read
    // without the lock by every request after the first, so published with release ordering.
    std::atomic<IUnknown*> factory;
};

ClassEntry* ClassTableBegin();
ClassEntry* ClassTableEnd();

// Guards the creation of the cached class factories.
CRITICAL_SECTION& ClassTableLock();

// Set up and torn down with the module state, with each class's own state; tearing down releases
// the cached factories.
void InitializeClassTable();
void TerminateClassTable();
