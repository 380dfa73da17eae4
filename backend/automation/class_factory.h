// The class factory of AffinityManager: one per loaded library, kept in the class table.
#pragma once

#include <windows.h>
#include <unknwn.h>

class ClassFactory final : public IClassFactory {
  public:
    // The class table's factory routine: a new factory asked for `iid`.
    static HRESULT Create(REFIID iid, void** factory);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

  private:
    ClassFactory();
    ~ClassFactory();
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    // Several apartments may share the cached factory.
    CRITICAL_SECTION lock_;
    LONG references_ = 0;
};
