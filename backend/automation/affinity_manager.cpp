#include "automation/affinity_manager.h"

#include "automation/type_info_holder.h"
#include "engine/affinity.h"
#include "engine/process_mask.h"
#include "module_state.h"

#include <new>

namespace {

TypeInfoHolder affinityManagerTypeInfo(IID_IAffinityManager, LIBID_TandrelPro, 1, 0);

TypeInfoHolder& AffinityManagerTypeInfo() {
    return affinityManagerTypeInfo;
}

// A script's mask is a 32-bit `long` naming processors 0 to 31 as the list numbers them (on a
// machine of several processor groups the whole machine's numbers): its bits, zero-extended, never
// sign-extended onto processors 32 to 63.
AffinityMask MaskFromScript(LONG mask) {
    return static_cast<unsigned long>(mask);
}

// Whether a script's mask could carry this mask whole; one that names a processor above 31
// cannot, and giving scripts only its low half would have them leave processors out.
bool FitsScriptMask(AffinityMask mask) {
    return (mask & ~AffinityMask{0xFFFFFFFF}) == 0;
}

} // namespace

void AffinityManager::ReleaseTypeInformation() {
    affinityManagerTypeInfo.Release();
}

HRESULT AffinityManager::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && !::IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    AffinityManager* made = new (std::nothrow) AffinityManager(outer);
    if (made == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = outer != nullptr ? made->inner_.QueryInterface(iid, object)
                                  : made->QueryInterface(iid, object);
    if (FAILED(hr))
        delete made;
    return hr;
}

AffinityManager::AffinityManager(IUnknown* outer) : outer_(outer), inner_(*this) {
    LockModule();
}

AffinityManager::~AffinityManager() {
    UnlockModule();
}

HRESULT AffinityManager::TableQueryInterface(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (::IsEqualIID(iid, IID_IAffinityManager) || ::IsEqualIID(iid, IID_IDispatch) ||
        ::IsEqualIID(iid, IID_IUnknown)) {
        *object = static_cast<IAffinityManager*>(this);
    } else if (::IsEqualIID(iid, IID_ISupportErrorInfo)) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

// In an aggregate the outer object alone decides what the whole answers: answering for an
// interface that it refused would give the aggregate two identities.
HRESULT AffinityManager::QueryInterface(REFIID iid, void** object) {
    if (outer_ != nullptr)
        return outer_->QueryInterface(iid, object);
    return TableQueryInterface(iid, object);
}

ULONG AffinityManager::AddRef() {
    if (outer_ != nullptr)
        return outer_->AddRef();
    return ++references_;
}

ULONG AffinityManager::Release() {
    if (outer_ != nullptr)
        return outer_->Release();
    LONG remaining = --references_;
    if (remaining == 0)
        delete this;
    return remaining;
}

HRESULT AffinityManager::InnerUnknown::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown)) {
        *object = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    return owner_.TableQueryInterface(iid, object);
}

ULONG AffinityManager::InnerUnknown::AddRef() {
    return ++owner_.references_;
}

ULONG AffinityManager::InnerUnknown::Release() {
    LONG remaining = --owner_.references_;
    if (remaining == 0)
        delete &owner_;
    return remaining;
}

HRESULT AffinityManager::InterfaceSupportsErrorInfo(REFIID iid) {
    return ::IsEqualIID(iid, IID_IAffinityManager) ? S_OK : S_FALSE;
}

HRESULT AffinityManager::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT AffinityManager::GetTypeInfo(UINT, LCID locale, ITypeInfo** info) {
    return AffinityManagerTypeInfo().GetTypeInfo(locale, info);
}

HRESULT AffinityManager::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                       DISPID* ids) {
    return AffinityManagerTypeInfo().GetIDsOfNames(locale, names, count, ids);
}

HRESULT AffinityManager::Invoke(DISPID member, REFIID, LCID locale, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return AffinityManagerTypeInfo().Invoke(static_cast<IAffinityManager*>(this), member, locale,
                                            flags, params, result, exception, argumentError);
}

HRESULT AffinityManager::GetProcessAffinity(LONG pid, LONG* pAffinity) {
    if (pAffinity == nullptr)
        return E_POINTER;
    AffinityMask processMask = 0;
    if (!GetProcessMask(static_cast<DWORD>(pid), &processMask) || !FitsScriptMask(processMask))
        return E_FAIL;
    *pAffinity = static_cast<LONG>(processMask);
    return S_OK;
}

HRESULT AffinityManager::SetProcessAffinity(LONG pid, LONG Affinity) {
    switch (SetProcessMask(static_cast<DWORD>(pid), MaskFromScript(Affinity))) {
    case MaskChange::kNotOpened:
        return E_FAIL;
    case MaskChange::kRefused:
        return E_INVALIDARG;
    case MaskChange::kApplied:
        break;
    }
    return S_OK;
}

HRESULT AffinityManager::EnableServiceManipulation() {
    return ::EnableServiceManipulation() ? S_OK : E_FAIL;
}

HRESULT AffinityManager::GenerateAllProcessorsMask(LONG* pMask) {
    if (pMask == nullptr)
        return E_POINTER;
    AffinityMask all = 0;
    if (!AllProcessorNumbers(&all) || !FitsScriptMask(all))
        return E_FAIL;
    *pMask = static_cast<LONG>(all);
    return S_OK;
}

HRESULT AffinityManager::MoveProcesses(VARIANT PIDArray, LONG mask) {
    PidList list = PidListFromVariant(PIDArray);
    if (!list.allocated())
        return E_INVALIDARG;
    return ::MoveProcesses(list.count(), list.ids(), MaskFromScript(mask)) ? S_OK : E_FAIL;
}

HRESULT AffinityManager::MoveAllProcesses(LONG mask) {
    return ::MoveAllProcesses(MaskFromScript(mask)) ? S_OK : E_FAIL;
}

HRESULT AffinityManager::IsolateProcesses(VARIANT PIDArray, LONG mask) {
    PidList list = PidListFromVariant(PIDArray);
    if (!list.allocated())
        return E_INVALIDARG;
    // The others get every processor outside the mask, those above 31 included.
    return ::IsolateProcesses(list.count(), list.ids(), MaskFromScript(mask)) ? S_OK : E_FAIL;
}
