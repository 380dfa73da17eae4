// The back end as an in-process COM server: class object, interfaces, aggregation and the
// unload rules, all through the exports of the built DLL.
#include "backend_server.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void* const kSentinel = reinterpret_cast<void*>(static_cast<uintptr_t>(0xBAADF00D));

class ComServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, server_.module());
        // Every test leaves nothing behind, so each starts unloadable.
        ASSERT_EQ(S_OK, server_.CanUnloadNow());
    }

    ComApartment apartment_;
    BackendServer server_;
};

IUnknown* IdentityOf(IUnknown* object) {
    IUnknown* identity = nullptr;
    EXPECT_EQ(S_OK, object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    if (identity != nullptr)
        identity->Release();
    return identity;
}

TEST_F(ComServer, QueryInterfaceAnswersFromTheInterfaceTable) {
    ComPtr<IAffinityManager> manager = server_.CreateManager();
    ASSERT_TRUE(manager);
    IUnknown* dual = manager.get();

    void* object = kSentinel;
    ASSERT_EQ(S_OK, manager->QueryInterface(IID_IUnknown, &object));
    EXPECT_EQ(dual, object);
    static_cast<IUnknown*>(object)->Release();

    object = kSentinel;
    ASSERT_EQ(S_OK, manager->QueryInterface(IID_IDispatch, &object));
    EXPECT_EQ(dual, object);
    static_cast<IUnknown*>(object)->Release();

    object = kSentinel;
    ASSERT_EQ(S_OK, manager->QueryInterface(IID_IAffinityManager, &object));
    EXPECT_EQ(dual, object);
    static_cast<IUnknown*>(object)->Release();

    ComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(S_OK, manager->QueryInterface(IID_ISupportErrorInfo, errorInfo.put_void()));
    EXPECT_NE(static_cast<void*>(dual), static_cast<void*>(errorInfo.get()));
    EXPECT_EQ(dual, IdentityOf(errorInfo.get()));
}

TEST_F(ComServer, QueryInterfaceRefusesOtherInterfacesAndNullOut) {
    ComPtr<IAffinityManager> manager = server_.CreateManager();
    ASSERT_TRUE(manager);
    void* object = kSentinel;
    EXPECT_EQ(E_NOINTERFACE, manager->QueryInterface(IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, manager->QueryInterface(IID_IUnknown, nullptr));
}

TEST_F(ComServer, EverySuccessfulAnswerAddsOneReference) {
    ComPtr<IAffinityManager> manager = server_.CreateManager();
    ASSERT_TRUE(manager);
    EXPECT_EQ(2u, manager->AddRef());
    EXPECT_EQ(1u, manager->Release());
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, manager->QueryInterface(IID_IDispatch, dispatch.put_void()));
    EXPECT_EQ(3u, manager->AddRef());
    EXPECT_EQ(2u, manager->Release());
}

TEST_F(ComServer, SupportsErrorInfoForTheDualInterfaceOnly) {
    ComPtr<IAffinityManager> manager = server_.CreateManager();
    ASSERT_TRUE(manager);
    ComPtr<ISupportErrorInfo> errorInfo = manager.As<ISupportErrorInfo>();
    ASSERT_TRUE(errorInfo);
    EXPECT_EQ(S_OK, errorInfo->InterfaceSupportsErrorInfo(IID_IAffinityManager));
    EXPECT_EQ(S_FALSE, errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch));
    EXPECT_EQ(S_FALSE, errorInfo->InterfaceSupportsErrorInfo(IID_IUnknown));
}

TEST_F(ComServer, ClassObjectIsTheOneCachedFactory) {
    ComPtr<IClassFactory> first = server_.Factory();
    ComPtr<IClassFactory> second = server_.Factory();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first.get(), second.get());
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK,
              server_.GetClassObject(CLSID_AffinityManager, IID_IUnknown, unknown.put_void()));
    EXPECT_EQ(static_cast<IUnknown*>(first.get()), unknown.get());

    void* object = kSentinel;
    EXPECT_EQ(E_NOINTERFACE, first->QueryInterface(IID_IDispatch, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, first->CreateInstance(nullptr, IID_IUnknown, nullptr));
}

TEST_F(ComServer, ClassObjectOfAnotherClassIsNotAvailable) {
    void* object = kSentinel;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              server_.GetClassObject(IID_IAffinityManager, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, server_.GetClassObject(CLSID_AffinityManager, IID_IClassFactory, nullptr));
}

TEST_F(ComServer, FactoryAnswersWithTheRequestedInterface) {
    ComPtr<IClassFactory> factory = server_.Factory();
    ASSERT_TRUE(factory);
    ComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ISupportErrorInfo, errorInfo.put_void()));
    void* object = kSentinel;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
}

// An outer object that aggregates AffinityManager: it answers IUnknown itself, hands the
// manager's interfaces out through the inner unknown, and counts its own references.
class Aggregator : public IUnknown {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        ++queries;
        if (::IsEqualIID(iid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner != nullptr && ::IsEqualIID(iid, IID_IAffinityManager))
            return inner->QueryInterface(iid, object);
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

    IUnknown* inner = nullptr;
    ULONG references = 1;
    int queries = 0;
};

// Makes an AffinityManager inside `outer`, which keeps its inner unknown.
void Aggregate(BackendServer& server, Aggregator& outer) {
    ComPtr<IClassFactory> factory = server.Factory();
    ASSERT_TRUE(factory);
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown,
                                            reinterpret_cast<void**>(&outer.inner)));
    ASSERT_NE(nullptr, outer.inner);
}

TEST_F(ComServer, AggregationIsRefusedForAnyInterfaceButIUnknown) {
    ComPtr<IClassFactory> factory = server_.Factory();
    ASSERT_TRUE(factory);
    Aggregator outer;
    void* object = kSentinel;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IDispatch, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(1u, outer.references);
}

TEST_F(ComServer, AggregatedObjectHasItsOwnInnerUnknown) {
    Aggregator outer;
    ASSERT_NO_FATAL_FAILURE(Aggregate(server_, outer));
    // The inner unknown counts for itself and is its own IUnknown.
    EXPECT_EQ(2u, outer.inner->AddRef());
    EXPECT_EQ(1u, outer.inner->Release());
    EXPECT_EQ(1u, outer.references);
    IUnknown* innerIdentity = nullptr;
    ASSERT_EQ(S_OK,
              outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerIdentity)));
    EXPECT_EQ(outer.inner, innerIdentity);
    EXPECT_EQ(1u, innerIdentity->Release());

    // A face taken from the inner unknown counts on the outer object.
    IAffinityManager* manager = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IAffinityManager,
                                                reinterpret_cast<void**>(&manager)));
    EXPECT_EQ(2u, outer.references);
    EXPECT_EQ(3u, manager->AddRef());
    EXPECT_EQ(2u, manager->Release());

    // The early-bound methods work as in the plain object.
    LONG mask = 0;
    EXPECT_EQ(S_OK, manager->GenerateAllProcessorsMask(&mask));
    EXPECT_NE(0, mask);

    EXPECT_EQ(1u, manager->Release());
    EXPECT_EQ(S_FALSE, server_.CanUnloadNow());
    EXPECT_EQ(0u, outer.inner->Release());
    outer.inner = nullptr;
}

// COM's identity rule: the outer object alone decides what the aggregate answers, so every face
// hands each query over and adds nothing of its own, not even what the inner unknown offers.
TEST_F(ComServer, AggregatedFacesAnswerExactlyWhatTheOuterObjectAnswers) {
    Aggregator outer;
    ASSERT_NO_FATAL_FAILURE(Aggregate(server_, outer));
    IUnknown* faces[2] = {};
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_IAffinityManager,
                                                reinterpret_cast<void**>(&faces[0])));
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_ISupportErrorInfo,
                                                reinterpret_cast<void**>(&faces[1])));
    const ULONG referencesBefore = outer.references;

    struct Case {
        const char* name;
        const IID* iid;
        HRESULT expected;
        IUnknown* answer; // what the outer object hands out
    };
    const Case cases[] = {
        {"IUnknown", &IID_IUnknown, S_OK, &outer},
        {"IAffinityManager", &IID_IAffinityManager, S_OK, faces[0]},
        {"IDispatch, refused by the outer object", &IID_IDispatch, E_NOINTERFACE, nullptr},
        {"ISupportErrorInfo, refused by the outer object", &IID_ISupportErrorInfo, E_NOINTERFACE,
         nullptr},
        {"IClassFactory", &IID_IClassFactory, E_NOINTERFACE, nullptr},
    };
    for (int face = 0; face < 2; ++face) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(face == 0 ? "dual face, " : "error-information face, ") +
                         c.name);
            const int queriesBefore = outer.queries;
            void* object = kSentinel;
            HRESULT hr = faces[face]->QueryInterface(*c.iid, &object);
            EXPECT_EQ(c.expected, hr) << "hr 0x" << std::hex << hr;
            EXPECT_EQ(static_cast<void*>(c.answer), object);
            EXPECT_EQ(queriesBefore + 1, outer.queries);
            if (SUCCEEDED(hr))
                static_cast<IUnknown*>(object)->Release();
            EXPECT_EQ(referencesBefore, outer.references);
        }
    }

    faces[1]->Release();
    faces[0]->Release();
    EXPECT_EQ(0u, outer.inner->Release());
    outer.inner = nullptr;
}

TEST_F(ComServer, CanUnloadOnlyWhenNothingIsOutstanding) {
    {
        ComPtr<IAffinityManager> manager = server_.CreateManager();
        ASSERT_TRUE(manager);
        EXPECT_EQ(S_FALSE, server_.CanUnloadNow()); // the object and the factory reference
    }
    EXPECT_EQ(S_OK, server_.CanUnloadNow());

    ComPtr<IClassFactory> factory = server_.Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(S_FALSE, server_.CanUnloadNow());
    ComPtr<IAffinityManager> manager;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IAffinityManager, manager.put_void()));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.reset();
    EXPECT_EQ(S_FALSE, server_.CanUnloadNow()); // the object and the lock
    manager.reset();
    EXPECT_EQ(S_FALSE, server_.CanUnloadNow()); // the lock

    factory = server_.Factory();
    ASSERT_TRUE(factory);
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_FALSE, server_.CanUnloadNow()); // the factory reference
    factory.reset();
    EXPECT_EQ(S_OK, server_.CanUnloadNow());
}

} // namespace
