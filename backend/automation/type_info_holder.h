// The type information of one dual interface, loaded from the registered type library on first
// use and kept until it is released.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <atomic>

class TypeInfoHolder {
  public:
    TypeInfoHolder(const IID& iid, const GUID& libid, WORD majorVersion, WORD minorVersion);
    TypeInfoHolder(const TypeInfoHolder&) = delete;
    TypeInfoHolder& operator=(const TypeInfoHolder&) = delete;

    // Gives the kept type information back; the next call loads it again.
    void Release();

    // The IDispatch operations of an object whose dual face is `self`. Each fails with the
    // loader's error while the type library is not registered, and the next call tries again.
    HRESULT GetTypeInfo(LCID locale, ITypeInfo** info);
    HRESULT GetIDsOfNames(LCID locale, LPOLESTR* names, UINT count, DISPID* ids);
    HRESULT Invoke(IDispatch* self, DISPID member, LCID locale, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

  private:
    HRESULT EnsureLoaded(LCID locale, ITypeInfo** info);

    const IID& iid_;
    const GUID& libid_;
    WORD majorVersion_;
    WORD minorVersion_;
    // Published once loaded; read without a lock.
    std::atomic<ITypeInfo*> info_{nullptr};
};
