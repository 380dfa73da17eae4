// State of the loaded library, set up and torn down by DllMain.
#pragma once

#include <windows.h>

void InitializeModuleState(HMODULE module);
void TerminateModuleState();

HMODULE ThisModule();

// The library's private heap. Allocation creates the heap on first use, so code linked into a
// program (the tests) works without DllMain too.
void* PrivateHeapAlloc(SIZE_T bytes);
void PrivateHeapFree(void* block);
