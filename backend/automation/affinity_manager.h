// The automation object AffinityManager: the dual interface IAffinityManager over the affinity
// engine, and ISupportErrorInfo. Apartment-threaded, so its own count needs no interlocking.
#pragma once

#include "automation/pid_list.h"
#include "tandrel_pro.h"

#include <windows.h>
#include <oaidl.h>

class AffinityManager final : public ISupportErrorInfo, public IAffinityManager {
  public:
    // The class factory's instance routine: a plain object without `outer`, an aggregated one
    // (answering with its inner unknown) with it.
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object);

    // Gives back the type information that the objects loaded from the registered type library
    // on first use; the next use loads it again.
    static void ReleaseTypeInformation();

    // Both faces share these; in an aggregate they pass every call to the outer object.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // IAffinityManager. Masks are 32-bit `long`s naming processors 0 to 31, taken bit for bit, by
    // the numbers the list gives them (on several processor groups the whole machine's, and each
    // process is moved by the engine's rule for its groups).
    // On a machine with processors above 31, GetProcessAffinity and GenerateAllProcessorsMask
    // fail (E_FAIL) for a mask that names one rather than hand out part of it; the other methods
    // apply the mask given, and IsolateProcesses moves the others onto every processor outside it.
    STDMETHODIMP GetProcessAffinity(LONG pid, LONG* pAffinity) override;
    STDMETHODIMP SetProcessAffinity(LONG pid, LONG Affinity) override;
    STDMETHODIMP EnableServiceManipulation() override;
    STDMETHODIMP GenerateAllProcessorsMask(LONG* pMask) override;
    STDMETHODIMP MoveProcesses(VARIANT PIDArray, LONG mask) override;
    STDMETHODIMP MoveAllProcesses(LONG mask) override;
    STDMETHODIMP IsolateProcesses(VARIANT PIDArray, LONG mask) override;

  private:
    // The unknown that an aggregating outer object holds: its own count, and IUnknown is itself.
    class InnerUnknown : public IUnknown {
      public:
        explicit InnerUnknown(AffinityManager& owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;

      private:
        AffinityManager& owner_;
    };

    explicit AffinityManager(IUnknown* outer);
    ~AffinityManager();
    AffinityManager(const AffinityManager&) = delete;
    AffinityManager& operator=(const AffinityManager&) = delete;

    // Answers from the interface table, adding a reference through the object's faces.
    HRESULT TableQueryInterface(REFIID iid, void** object);

    IUnknown* outer_;
    InnerUnknown inner_;
    LONG references_ = 0;
};
