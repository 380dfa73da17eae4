// The built "Tandrel Pro BE.dll" as a COM client finds it: loaded by name, its class objects
// reached through the exported DllGetClassObject.
#pragma once

#include "common/com_ptr.h"
#include "tandrel_pro.h"

#include <windows.h>
#include <objbase.h>

#include <string>

class BackendServer {
  public:
    BackendServer();
    ~BackendServer();
    BackendServer(const BackendServer&) = delete;
    BackendServer& operator=(const BackendServer&) = delete;

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;

    ComPtr<IClassFactory> Factory() const;
    // A new object through the class factory; empty (with a test failure) when that fails.
    ComPtr<IAffinityManager> CreateManager() const;

    HMODULE module() const { return module_; }
    std::wstring Path() const;

  private:
    using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

    HMODULE module_ = nullptr;
    GetClassObjectFunction getClassObject_ = nullptr;
    CanUnloadNowFunction canUnloadNow_ = nullptr;
};

// Initialises COM (apartment-threaded) for the test's thread.
class ComApartment {
  public:
    ComApartment() { ::CoInitialize(nullptr); }
    ~ComApartment() { ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};
