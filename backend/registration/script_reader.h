// The register and unregister passes over the root entries of a substituted script text.
#pragma once

#include "registration/registry_access.h"
#include "registration/script_text.h"

#include <windows.h>

#include <cstddef>

// Value names, and key names in the unregister pass, hold at most this many bytes.
constexpr size_t kMaxNameBytes = 259;
// Deeper nesting than the registry itself allows is refused, so no text can exhaust the stack.
constexpr int kMaxBlockDepth = 512;

HRESULT ApplyRootEntries(ScriptTokenizer& tokens, bool registering, RegistryAccess& registry);
