// The registry script reader: applies a "REGISTRY" resource of this library to the registry, in
// register mode (write every entry) or unregister mode (remove them).
#pragma once

#include "registration/registry_access.h"
#include "registration/script_variables.h"

#include <windows.h>

#include <cstddef>

// The library's own script, with "%MODULE%" standing for the library's path.
HRESULT ApplyRegistryScript(UINT resourceId, bool registering,
                            RegistryAccess& registry = SystemRegistry());

// The reader proper, over a script text of `length` bytes: substitution, then the root entries.
HRESULT ApplyRegistryScriptText(const char* text, size_t length, const ScriptVariables& variables,
                                bool registering, RegistryAccess& registry);
