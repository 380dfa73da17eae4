// Late binding through IDispatch, with the type library registered in the test prefix.
#include "backend_server.h"
#include "common/ole_owners.h"
#include "helper_processes.h"
#include "modal_driver.h"
#include "pid_arrays.h"
#include "type_library_registration.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class RegisteredTypeLibrary : public ::testing::Environment {
  public:
    void SetUp() override {
        BackendServer server;
        ASSERT_EQ(S_OK, RegisterBackendTypeLibrary(server.Path()));
    }
    void TearDown() override { UnregisterBackendTypeLibrary(); }
};

const auto* const registration = ::testing::AddGlobalTestEnvironment(new RegisteredTypeLibrary);

DISPID IdOf(IDispatch* dispatch, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0x5A5A;
    EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))
        << "name " << static_cast<const void*>(name);
    return id;
}

struct Result {
    HRESULT hr;
    Variant value;
    EXCEPINFO exception{};
    Result() = default;
    ~Result() {
        UniqueBstr source(exception.bstrSource), description(exception.bstrDescription),
            helpFile(exception.bstrHelpFile);
    }
};

// Calls a method by name with the arguments in their written order.
void CallByName(IDispatch* dispatch, const wchar_t* name, std::vector<VARIANT> arguments,
                Result& result) {
    DISPID id = IdOf(dispatch, name);
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    UINT argumentError = 0;
    result.hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 result.value.get(), &result.exception, &argumentError);
}

VARIANT Long(LONG number) {
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

class LateBinding : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, server_.module());
        ComPtr<IAffinityManager> manager = server_.CreateManager();
        ASSERT_TRUE(manager);
        dispatch_ = manager.As<IDispatch>();
        ASSERT_TRUE(dispatch_);
        for (HelperProcess& helper : helpers_)
            ASSERT_TRUE(helper.SetMask(3));
    }

    LONG Pid(int index) const { return static_cast<LONG>(helpers_[index].pid()); }

    ComApartment apartment_;
    BackendServer server_;
    ComPtr<IDispatch> dispatch_;
    std::vector<HelperProcess> helpers_ = StartHelpers(2);
};

TEST_F(LateBinding, NamesResolveToTheirDispatchIdentifiers) {
    const wchar_t* const names[] = {
        L"GetProcessAffinity",        L"SetProcessAffinity", L"EnableServiceManipulation",
        L"GenerateAllProcessorsMask", L"MoveProcesses",      L"MoveAllProcesses",
        L"IsolateProcesses"};
    for (DISPID expected = 1; expected <= 7; ++expected)
        EXPECT_EQ(expected, IdOf(dispatch_.get(), names[expected - 1]));
}

TEST_F(LateBinding, NamesOutsideTheCacheGoToTheTypeInformation) {
    // Parameter names are not cached: the whole request is answered by the type information.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"MoveProcesses"), const_cast<LPOLESTR>(L"mask")};
    DISPID ids[2] = {0x5A5A, 0x5A5A};
    EXPECT_EQ(S_OK, dispatch_->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
    EXPECT_EQ(5, ids[0]);
    EXPECT_EQ(1, ids[1]);

    // The cache compares exactly; the type information ignores case.
    EXPECT_EQ(1, IdOf(dispatch_.get(), L"getprocessaffinity"));

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
    DISPID id = 0x5A5A;
    EXPECT_EQ(DISP_E_UNKNOWNNAME,
              dispatch_->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id));
}

TEST_F(LateBinding, TypeInformationDescribesTheInterface) {
    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch_->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    UniqueTypeAttr attr(info.get());
    ASSERT_EQ(S_OK, info->GetTypeAttr(attr.put()));
    EXPECT_TRUE(::IsEqualGUID(IID_IAffinityManager, attr->guid));
    EXPECT_EQ(E_POINTER, dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));
}

TEST_F(LateBinding, RetvalBecomesTheResult) {
    ASSERT_TRUE(helpers_[0].SetMask(2));
    Result affinity;
    CallByName(dispatch_.get(), L"GetProcessAffinity", {Long(Pid(0))}, affinity);
    EXPECT_EQ(S_OK, affinity.hr);
    EXPECT_EQ(VT_I4, affinity.value.get()->vt);
    EXPECT_EQ(2, affinity.value.get()->lVal);

    Result mask;
    CallByName(dispatch_.get(), L"GenerateAllProcessorsMask", {}, mask);
    EXPECT_EQ(S_OK, mask.hr);
    EXPECT_EQ(VT_I4, mask.value.get()->vt);
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    EXPECT_EQ(static_cast<LONG>(info.dwActiveProcessorMask), mask.value.get()->lVal);
}

TEST_F(LateBinding, SetProcessAffinityMovesAndReportsRefusalAsAnException) {
    Result set;
    CallByName(dispatch_.get(), L"SetProcessAffinity", {Long(Pid(1)), Long(1)}, set);
    EXPECT_EQ(S_OK, set.hr);
    EXPECT_EQ(1ul, helpers_[1].mask());

    Result refused;
    CallByName(dispatch_.get(), L"SetProcessAffinity", {Long(Pid(1)), Long(0)}, refused);
    EXPECT_EQ(DISP_E_EXCEPTION, refused.hr);
    EXPECT_EQ(E_INVALIDARG, refused.exception.scode);
    EXPECT_EQ(1ul, helpers_[1].mask());
}

TEST_F(LateBinding, MoveProcessesTakesAScriptArrayByReference) {
    // What VBScript passes for an array variable: a reference to the variant holding it.
    Variant first(static_cast<double>(Pid(0)));
    Variant second(DecimalText(Pid(1)).c_str());
    UniqueSafeArray array = VariantArray({&first, &second});
    VARIANT held = ArrayArgument(array.get());
    VARIANT reference;
    reference.vt = VT_BYREF | VT_VARIANT;
    reference.pvarVal = &held;

    ModalDriver user;
    for (int i = 0; i < 4; ++i)
        user.Then(ModalDriver::Click(IDOK));
    Result moved;
    CallByName(dispatch_.get(), L"MoveProcesses", {reference, Long(2)}, moved);
    EXPECT_EQ(S_OK, moved.hr);
    EXPECT_EQ(4u, user.shown().size());
    EXPECT_EQ(2ul, helpers_[0].mask());
    EXPECT_EQ(2ul, helpers_[1].mask());
}

TEST_F(LateBinding, MoveProcessesWithoutAnArrayIsAnInvalidArgument) {
    ModalDriver user;
    Result refused;
    CallByName(dispatch_.get(), L"IsolateProcesses", {Long(Pid(0)), Long(1)}, refused);
    EXPECT_EQ(DISP_E_EXCEPTION, refused.hr);
    EXPECT_EQ(E_INVALIDARG, refused.exception.scode);
    EXPECT_EQ(0u, user.shown().size());
    EXPECT_EQ(3ul, helpers_[0].mask());
}

} // namespace
