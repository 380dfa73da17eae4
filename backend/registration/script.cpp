#include "registration/script.h"

#include "module_state.h"
#include "registration/script_reader.h"
#include "common/unique_handle.h"

#include <cstring>
#include <string>

HRESULT ApplyRegistryScriptText(const char* text, size_t length, const ScriptVariables& variables,
                                bool registering, RegistryAccess& registry) {
    TaskMemoryText substituted;
    HRESULT result = SubstituteVariables(text, length, variables, substituted);
    if (FAILED(result))
        return result;
    ScriptTokenizer tokens(substituted.data(), substituted.length());
    return ApplyRootEntries(tokens, registering, registry);
}

namespace {
HRESULT LastErrorResult() {
    DWORD error = ::GetLastError();
    return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_RESOURCE_DATA_NOT_FOUND);
}
} // namespace

HRESULT ApplyRegistryScript(UINT resourceId, bool registering, RegistryAccess& registry) {
    char path[MAX_PATH] = {};
    HRESULT result = ThisModuleFileName(path);
    if (FAILED(result))
        return result;

    ScriptVariables variables;
    result = variables.AddQuoted("Module", path);
    if (FAILED(result))
        return result;

    UniqueModule file(::LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!file)
        return LastErrorResult();
    HRSRC resource = ::FindResourceA(file.get(), MAKEINTRESOURCEA(resourceId), "REGISTRY");
    if (resource == nullptr)
        return LastErrorResult();
    HGLOBAL loaded = ::LoadResource(file.get(), resource);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return LastErrorResult();
    // The resource has no terminating zero of its own.
    std::string text(static_cast<const char*>(bytes), ::SizeofResource(file.get(), resource));
    return ApplyRegistryScriptText(text.c_str(), text.size(), variables, registering, registry);
}
