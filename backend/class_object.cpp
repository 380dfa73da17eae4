// The class object of AffinityManager, the library's one creatable class, and the exports through
// which COM finds it and asks whether the library may go.
#include "automation/affinity_manager.h"
#include "module_state.h"
#include "tandrel_pro.h"

#include <objbase.h>

namespace {

// Lives as long as the library and is never made or destroyed. Its count starts at the one
// reference the library keeps for itself; while any client holds one beyond it, the class object
// keeps one lock on the module. Apartments share it, so the count is interlocked.
class AffinityManagerClassObject final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    // The lock is taken before the count rises and kept only by the step from 1 to 2, so a
    // client's reference never stands unlocked, even while another thread lets its last one go.
    STDMETHODIMP_(ULONG) AddRef() override {
        LockModule();
        LONG count = ::InterlockedIncrement(&references_);
        if (count != 2)
            UnlockModule();
        return count;
    }
    STDMETHODIMP_(ULONG) Release() override {
        LONG count = ::InterlockedDecrement(&references_);
        if (count == 1)
            UnlockModule();
        return count;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        return AffinityManager::CreateInstance(outer, iid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            LockModule();
        else
            UnlockModule();
        return S_OK;
    }

  private:
    LONG references_ = 1;
};

AffinityManagerClassObject affinityManagerClassObject;

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (!::IsEqualCLSID(clsid, CLSID_AffinityManager))
        return CLASS_E_CLASSNOTAVAILABLE;
    return affinityManagerClassObject.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    return ModuleLockCount() == 0 ? S_OK : S_FALSE;
}
