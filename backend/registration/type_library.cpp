#include "registration/type_library.h"

#include "module_state.h"
#include "common/ole_owners.h"
#include "common/unique_handle.h"

#include <cstring>

namespace {
HRESULT LoadFrom(const char* path, ITypeLib** library, BSTR* loadedPath) {
    wchar_t widePath[MAX_PATH + 8] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH + 7);
    HRESULT result = ::LoadTypeLib(widePath, library);
    if (FAILED(result))
        return result;
    *loadedPath = ::SysAllocString(widePath);
    if (*loadedPath == nullptr) {
        (*library)->Release();
        *library = nullptr;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

struct TypeLibraryUse {
    ITypeLib* library = nullptr;
    BSTR path = nullptr;
    ~TypeLibraryUse() {
        if (library != nullptr)
            library->Release();
        ::SysFreeString(path);
    }
};

using UnRegisterTypeLibFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
} // namespace

HRESULT LoadModuleTypeLibrary(ITypeLib** library, BSTR* path) {
    *library = nullptr;
    *path = nullptr;
    // Room for ".tlb" after a path of the longest length the system reports.
    char modulePath[MAX_PATH + 8] = {};
    HRESULT result = ThisModuleFileName(modulePath);
    if (FAILED(result))
        return result;
    if (SUCCEEDED(LoadFrom(modulePath, library, path)))
        return S_OK;

    // A library built without its type library may ship it beside itself.
    char* dot = std::strrchr(modulePath, '.');
    std::strcpy(dot != nullptr ? dot : modulePath + std::strlen(modulePath), ".tlb");
    return LoadFrom(modulePath, library, path);
}

HRESULT RegisterModuleTypeLibrary() {
    TypeLibraryUse use;
    HRESULT result = LoadModuleTypeLibrary(&use.library, &use.path);
    if (FAILED(result))
        return result;
    // The help directory is the loaded file's directory, separator included.
    size_t length = ::SysStringLen(use.path);
    size_t cut = length;
    while (cut > 0 && use.path[cut - 1] != L'\\' && use.path[cut - 1] != L'/' &&
           use.path[cut - 1] != L':')
        --cut;
    UniqueBstr helpDirectory(::SysAllocStringLen(use.path, static_cast<UINT>(cut)));
    if (!helpDirectory)
        return E_OUTOFMEMORY;
    return ::RegisterTypeLib(use.library, use.path, helpDirectory.get());
}

HRESULT UnregisterModuleTypeLibrary() {
    TypeLibraryUse use;
    HRESULT result = LoadModuleTypeLibrary(&use.library, &use.path);
    if (FAILED(result))
        return result;
    TLIBATTR* attributes = nullptr;
    if (FAILED(use.library->GetLibAttr(&attributes)))
        return result;
    // Looked up at run time: older systems' automation libraries lack it, and then the record
    // simply stays.
    UniqueModule automation(::LoadLibraryA("oleaut32.dll"));
    if (automation) {
        auto unregister = reinterpret_cast<UnRegisterTypeLibFunction>(
            reinterpret_cast<void*>(::GetProcAddress(automation.get(), "UnRegisterTypeLib")));
        if (unregister != nullptr)
            unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                       attributes->lcid, attributes->syskind);
    }
    use.library->ReleaseTLibAttr(attributes);
    return result;
}
