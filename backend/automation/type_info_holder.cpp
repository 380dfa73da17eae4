#include "automation/type_info_holder.h"

#include "common/com_ptr.h"

TypeInfoHolder::TypeInfoHolder(const IID& iid, const GUID& libid, WORD majorVersion,
                               WORD minorVersion)
    : iid_(iid), libid_(libid), majorVersion_(majorVersion), minorVersion_(minorVersion) {}

void TypeInfoHolder::Release() {
    if (ITypeInfo* info = info_.exchange(nullptr))
        info->Release();
}

// Apartments that ask at the same moment may each load a copy: the first to publish its copy is
// kept and the others give theirs back, so no lock is needed.
HRESULT TypeInfoHolder::EnsureLoaded(LCID locale, ITypeInfo** info) {
    *info = info_.load(std::memory_order_acquire);
    if (*info != nullptr)
        return S_OK;
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadRegTypeLib(libid_, majorVersion_, minorVersion_, locale, library.put());
    ComPtr<ITypeInfo> loaded;
    if (SUCCEEDED(hr))
        hr = library->GetTypeInfoOfGuid(iid_, loaded.put());
    if (FAILED(hr))
        return hr;
    ITypeInfo* published = nullptr;
    if (info_.compare_exchange_strong(published, loaded.get(), std::memory_order_acq_rel,
                                      std::memory_order_acquire))
        published = loaded.release();
    *info = published;
    return S_OK;
}

HRESULT TypeInfoHolder::GetTypeInfo(LCID locale, ITypeInfo** info) {
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    ITypeInfo* loaded = nullptr;
    HRESULT hr = EnsureLoaded(locale, &loaded);
    if (FAILED(hr))
        return hr;
    loaded->AddRef();
    *info = loaded;
    return S_OK;
}

HRESULT TypeInfoHolder::GetIDsOfNames(LCID locale, LPOLESTR* names, UINT count, DISPID* ids) {
    ITypeInfo* info = nullptr;
    HRESULT hr = EnsureLoaded(locale, &info);
    if (FAILED(hr))
        return hr;
    if (names == nullptr || ids == nullptr)
        return E_POINTER;
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT TypeInfoHolder::Invoke(IDispatch* self, DISPID member, LCID locale, WORD flags,
                               DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                               UINT* argumentError) {
    ITypeInfo* info = nullptr;
    HRESULT hr = EnsureLoaded(locale, &info);
    if (FAILED(hr))
        return hr;
    return info->Invoke(self, member, flags, params, result, exception, argumentError);
}
