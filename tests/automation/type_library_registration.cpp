#include "type_library_registration.h"

#include "common/com_ptr.h"
#include "tandrel_pro.h"

#include <oleauto.h>

namespace {
constexpr SYSKIND kSystemKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}

HRESULT RegisterBackendTypeLibrary(const std::wstring& dllPath) {
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(dllPath.c_str(), REGKIND_NONE, library.put());
    if (FAILED(hr))
        return hr;
    std::wstring path = dllPath;
    return ::RegisterTypeLib(library.get(), path.data(), nullptr);
}

HRESULT UnregisterBackendTypeLibrary() {
    return ::UnRegisterTypeLib(LIBID_TandrelPro, 1, 0, LOCALE_NEUTRAL, kSystemKind);
}

HRESULT RegisteredTypeLibraryStatus() {
    ComPtr<ITypeLib> library;
    return ::LoadRegTypeLib(LIBID_TandrelPro, 1, 0, LOCALE_NEUTRAL, library.put());
}
