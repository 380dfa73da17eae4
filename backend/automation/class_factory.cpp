#include "automation/class_factory.h"

#include "module_state.h"

#include <new>

HRESULT ClassFactory::Create(InstanceRoutine createInstance, REFIID iid, void** factory) {
    if (factory == nullptr)
        return E_POINTER;
    *factory = nullptr;
    ClassFactory* made = new (std::nothrow) ClassFactory(createInstance);
    if (made == nullptr)
        return E_OUTOFMEMORY;
    HRESULT hr = made->QueryInterface(iid, factory);
    if (FAILED(hr))
        delete made;
    return hr;
}

ClassFactory::ClassFactory(InstanceRoutine createInstance) : createInstance_(createInstance) {
    ::InitializeCriticalSection(&lock_);
}

ClassFactory::~ClassFactory() {
    ::DeleteCriticalSection(&lock_);
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// The class table's own reference is the first; every one beyond it is an outside holder that
// keeps the library loaded.
ULONG ClassFactory::AddRef() {
    ::EnterCriticalSection(&lock_);
    LONG count = ::InterlockedIncrement(&references_);
    if (count == 2)
        LockModule();
    ::LeaveCriticalSection(&lock_);
    return count;
}

ULONG ClassFactory::Release() {
    ::EnterCriticalSection(&lock_);
    LONG count = ::InterlockedDecrement(&references_);
    if (count == 1)
        UnlockModule();
    ::LeaveCriticalSection(&lock_);
    if (count == 0)
        delete this;
    return count;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    return createInstance_(outer, iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}
