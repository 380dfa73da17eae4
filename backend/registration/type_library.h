// The library's type library ("TYPELIB" resource 1, or a ".tlb" file beside the library) and its
// record in the platform's type-library registry.
#pragma once

#include <windows.h>
#include <oleauto.h>

// On success the caller releases *library and frees *path (the file that the library came from).
HRESULT LoadModuleTypeLibrary(ITypeLib** library, BSTR* path);
HRESULT RegisterModuleTypeLibrary();
HRESULT UnregisterModuleTypeLibrary();
