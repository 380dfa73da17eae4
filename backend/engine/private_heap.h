// The private heap of the module that links the process layer: the identifier lists of the engine,
// the snapshot and the automation object live there, apart from the process's own heap.
#pragma once

#include <windows.h>

// Creates the heap unless it exists. Allocation creates it on first use too, so code linked into
// a program (the tests) works without a DllMain.
void CreatePrivateHeap();
// Destroys the heap and every block left in it.
void DestroyPrivateHeap();

// Null when the heap cannot be made or has no room; freeing null does nothing.
void* PrivateHeapAlloc(SIZE_T bytes);
void PrivateHeapFree(void* block);
