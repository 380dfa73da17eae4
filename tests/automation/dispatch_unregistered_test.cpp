// IDispatch while the type library is not registered: the dispatch operations fail with the
// loader's error, the early-bound methods keep working, and registration later is picked up.
// A program of its own, since the object keeps type information once it has loaded it.
#include "backend_server.h"
#include "type_library_registration.h"

#include <gtest/gtest.h>

namespace {

TEST(UnregisteredTypeLibrary, DispatchFailsWithTheLoaderErrorUntilRegistered) {
    ComApartment apartment;
    BackendServer server;
    ASSERT_NE(nullptr, server.module());
    UnregisterBackendTypeLibrary();
    HRESULT loaderError = RegisteredTypeLibraryStatus();
    ASSERT_TRUE(FAILED(loaderError)) << std::hex << loaderError;

    ComPtr<IAffinityManager> manager = server.CreateManager();
    ASSERT_TRUE(manager);

    UINT count = 0;
    EXPECT_EQ(S_OK, manager->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);

    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(static_cast<uintptr_t>(0xBAADF00D));
    EXPECT_EQ(loaderError, manager->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    EXPECT_EQ(nullptr, info);

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetProcessAffinity")};
    DISPID id = 0x5A5A;
    EXPECT_EQ(loaderError, manager->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    ::VariantInit(&result);
    EXPECT_EQ(loaderError, manager->Invoke(4, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                           &result, nullptr, nullptr));

    LONG mask = 0;
    EXPECT_EQ(S_OK, manager->GenerateAllProcessorsMask(&mask));
    EXPECT_NE(0, mask);

    // The next call tries again.
    ASSERT_EQ(S_OK, RegisterBackendTypeLibrary(server.Path()));
    ComPtr<ITypeInfo> loaded;
    EXPECT_EQ(S_OK, manager->GetTypeInfo(0, LOCALE_USER_DEFAULT, loaded.put()));
    id = 0x5A5A;
    EXPECT_EQ(S_OK, manager->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(1, id);
    EXPECT_EQ(S_OK, UnregisterBackendTypeLibrary());
}

} // namespace
