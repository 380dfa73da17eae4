// The class factory of the library's classes: one per class, kept in the class table, which
// gives it the routine that makes the class's objects.
#pragma once

#include <windows.h>
#include <unknwn.h>

class ClassFactory final : public IClassFactory {
  public:
    // Makes an object of the class: a plain one without `outer`, an aggregated one with it.
    using InstanceRoutine = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

    // A new factory of the class that `createInstance` makes, asked for `iid`.
    static HRESULT Create(InstanceRoutine createInstance, REFIID iid, void** factory);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

  private:
    explicit ClassFactory(InstanceRoutine createInstance);
    ~ClassFactory();
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    // Several apartments may share the cached factory.
    InstanceRoutine createInstance_;
    CRITICAL_SECTION lock_;
    LONG references_ = 0;
};
