// Registers the back end's own type library in the test prefix, as registration would, and
// removes it again.
#pragma once

#include <string>

#include <windows.h>

HRESULT RegisterBackendTypeLibrary(const std::wstring& dllPath);
HRESULT UnregisterBackendTypeLibrary();
// What LoadRegTypeLib answers for the library right now.
HRESULT RegisteredTypeLibraryStatus();
