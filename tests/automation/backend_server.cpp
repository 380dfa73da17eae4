#include "backend_server.h"

#include <gtest/gtest.h>

BackendServer::BackendServer() {
    // Kept loaded for the whole program: COM servers are not unloaded under their clients.
    module_ = ::LoadLibraryA("Tandrel Pro BE.dll");
    if (module_ == nullptr) {
        ADD_FAILURE() << "cannot load Tandrel Pro BE.dll, error " << ::GetLastError();
        return;
    }
    getClassObject_ = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<CanUnloadNowFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllCanUnloadNow")));
    EXPECT_NE(nullptr, getClassObject_) << "DllGetClassObject is not exported";
    EXPECT_NE(nullptr, canUnloadNow_) << "DllCanUnloadNow is not exported";
}

BackendServer::~BackendServer() = default;

HRESULT BackendServer::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const {
    return getClassObject_ != nullptr ? getClassObject_(clsid, iid, object) : E_UNEXPECTED;
}

HRESULT BackendServer::CanUnloadNow() const {
    return canUnloadNow_ != nullptr ? canUnloadNow_() : E_UNEXPECTED;
}

ComPtr<IClassFactory> BackendServer::Factory() const {
    ComPtr<IClassFactory> factory;
    HRESULT hr = GetClassObject(CLSID_AffinityManager, IID_IClassFactory, factory.put_void());
    EXPECT_EQ(S_OK, hr) << "DllGetClassObject";
    return factory;
}

ComPtr<IAffinityManager> BackendServer::CreateManager() const {
    ComPtr<IAffinityManager> manager;
    ComPtr<IClassFactory> factory = Factory();
    if (!factory)
        return manager;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IAffinityManager, manager.put_void());
    EXPECT_EQ(S_OK, hr) << "CreateInstance";
    return manager;
}

std::wstring BackendServer::Path() const {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(module_, path, MAX_PATH);
    return path;
}
