// The seven methods of IAffinityManager, called early-bound on real helper processes, with the
// diagnostic message boxes of the PIDArray methods answered as a user would.
#include "backend_server.h"
#include "helper_processes_fixture.h"
#include "modal_driver.h"
#include "pid_arrays.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr LONG kSentinel = 0x5A5A5A5A;

struct Outcome {
    HRESULT result;
    std::vector<ShownDialog> boxes;
};

// Calls `method` with OK queued for `answered` boxes; any further box is recorded as unexpected.
template <typename Call> Outcome AnsweringBoxes(int answered, Call call) {
    ModalDriver user;
    for (int i = 0; i < answered; ++i)
        user.Then(ModalDriver::Click(IDOK));
    HRESULT result = call();
    return {result, user.shown()};
}

std::string AddressText(const SAFEARRAY* array) {
    return std::to_string(reinterpret_cast<std::intptr_t>(array));
}

// The boxes that an array argument shows, in order: three always, the fourth for a
// one-dimensional array with elements.
void ExpectArrayBoxes(const Outcome& outcome, const SAFEARRAY* array, int dimensions,
                      int elements) {
    std::vector<std::string> expected = {
        "bleh: array of variants",
        "blah: cDims: " + std::to_string(dimensions) + ", cElements: " + std::to_string(elements),
        "blah: parray: " + AddressText(array) + ", pparray: " + AddressText(array)};
    if (dimensions == 1 && elements > 0)
        expected.push_back("blah: 1 dimension, >=1 elements");
    std::vector<std::string> shown;
    for (const ShownDialog& box : outcome.boxes) {
        shown.push_back(box.caption + ": " + box.text);
        EXPECT_TRUE(box.expected) << box.text;
        EXPECT_EQ(0u, box.icon) << box.text;
        EXPECT_EQ(std::vector<int>{IDOK}, box.buttons) << box.text;
    }
    EXPECT_EQ(expected, shown);
}

class AffinityMethods : public HelperProcessesFixture {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, server_.module());
        manager_ = server_.CreateManager();
        ASSERT_TRUE(manager_);
        HelperProcessesFixture::SetUp();
    }

    Outcome Move(VARIANT argument, LONG mask, int answered = 4) {
        return AnsweringBoxes(answered, [&] { return manager_->MoveProcesses(argument, mask); });
    }
    Outcome Isolate(VARIANT argument, LONG mask, int answered = 4) {
        return AnsweringBoxes(answered, [&] { return manager_->IsolateProcesses(argument, mask); });
    }

    ComApartment apartment_;
    BackendServer server_;
    ComPtr<IAffinityManager> manager_;
};

TEST_F(AffinityMethods, GetProcessAffinityReturnsTheProcessMask) {
    ASSERT_TRUE(helpers_[0].SetMask(2));
    LONG affinity = kSentinel;
    EXPECT_EQ(S_OK, manager_->GetProcessAffinity(Pid(0), &affinity));
    EXPECT_EQ(2, affinity);
}

TEST_F(AffinityMethods, GetProcessAffinityFailsForAMissingProcess) {
    LONG affinity = kSentinel;
    EXPECT_EQ(E_FAIL, manager_->GetProcessAffinity(static_cast<LONG>(EndedProcessId()), &affinity));
    EXPECT_EQ(kSentinel, affinity);
    EXPECT_EQ(E_POINTER, manager_->GetProcessAffinity(Pid(0), nullptr));
}

TEST_F(AffinityMethods, SetProcessAffinitySetsTheMask) {
    EXPECT_EQ(S_OK, manager_->SetProcessAffinity(Pid(0), 1));
    ExpectMasks({1ul, all_});
}

TEST_F(AffinityMethods, SetProcessAffinityRefusesAMaskThePlatformRefuses) {
    EXPECT_EQ(E_INVALIDARG, manager_->SetProcessAffinity(Pid(0), 0));
    // Bit 31 arrives as a negative number; no processor 31 exists here.
    EXPECT_EQ(E_INVALIDARG, manager_->SetProcessAffinity(Pid(0), LONG_MIN));
    EXPECT_EQ(all_, MaskOf(0));
}

TEST_F(AffinityMethods, SetProcessAffinityFailsForAMissingProcess) {
    EXPECT_EQ(E_FAIL, manager_->SetProcessAffinity(static_cast<LONG>(EndedProcessId()), 1));
}

TEST_F(AffinityMethods, GenerateAllProcessorsMaskReportsTheSystemMask) {
    LONG mask = kSentinel;
    EXPECT_EQ(S_OK, manager_->GenerateAllProcessorsMask(&mask));
    EXPECT_EQ(static_cast<LONG>(all_), mask);
    EXPECT_EQ(E_POINTER, manager_->GenerateAllProcessorsMask(nullptr));
}

TEST_F(AffinityMethods, EnableServiceManipulationSucceeds) {
    EXPECT_EQ(S_OK, manager_->EnableServiceManipulation());
}

TEST_F(AffinityMethods, MoveAllProcessesMovesEveryProcess) {
    ASSERT_TRUE(helpers_[0].SetMask(1));
    ASSERT_TRUE(helpers_[1].SetMask(2));
    EXPECT_EQ(S_OK, manager_->MoveAllProcesses(static_cast<LONG>(all_)));
    ExpectMasks({all_, all_});
}

TEST_F(AffinityMethods, MoveProcessesTakesConvertibleVariantsAndSkipsTheRest) {
    Variant number(Pid(0));
    Variant text(DecimalText(Pid(1)).c_str());
    Variant letter(L"x");
    UniqueSafeArray array = VariantArray({&number, &text, &letter});
    Outcome outcome = Move(ArrayArgument(array.get()), 1);
    EXPECT_EQ(S_OK, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 3);
    ExpectMasks({1ul, 1ul, all_});
}

TEST_F(AffinityMethods, MoveProcessesRoundsFractionalVariants) {
    Variant number(static_cast<double>(Pid(2)) + 0.25);
    UniqueSafeArray array = VariantArray({&number});
    Outcome outcome = Move(ArrayArgument(array.get()), 2);
    EXPECT_EQ(S_OK, outcome.result);
    EXPECT_EQ(2ul, MaskOf(2));
}

TEST_F(AffinityMethods, MoveProcessesCopiesLongArraysUnchanged) {
    for (VARTYPE type : {VT_I4, VT_UI4}) {
        SCOPED_TRACE(type);
        UniqueSafeArray array = NumberArray(type, {Pid(0), Pid(2)});
        Outcome outcome = Move(ArrayArgument(array.get(), VT_ARRAY | type), 2);
        EXPECT_EQ(S_OK, outcome.result);
        // Shown for every array, whatever its element type.
        ExpectArrayBoxes(outcome, array.get(), 1, 2);
        ExpectMasks({2ul, all_, 2ul});
        ASSERT_TRUE(helpers_[0].SetMask(all_) && helpers_[2].SetMask(all_));
    }
}

TEST_F(AffinityMethods, MoveProcessesUsesIndicesFromZeroWhateverTheLowerBound) {
    Variant first(Pid(0)), second(Pid(1)), third(Pid(2));
    UniqueSafeArray array = VariantArray({&first, &second, &third}, 1);
    Outcome outcome = Move(ArrayArgument(array.get()), 1);
    EXPECT_EQ(S_OK, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 3);
    // Index 0 is outside the array; indices 1 and 2 hold the first two; 3 is never asked for.
    ExpectMasks({1ul, 1ul, all_});
}

TEST_F(AffinityMethods, EmptyArrayShowsThreeBoxesAndTouchesNothing) {
    UniqueSafeArray array = VariantArray({});
    Outcome outcome = Isolate(ArrayArgument(array.get()), 1, 3);
    EXPECT_EQ(E_INVALIDARG, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 0);
    EXPECT_EQ(all_, MaskOf(0));
}

TEST_F(AffinityMethods, TwoDimensionalArrayShowsThreeBoxesAndTouchesNothing) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    UniqueSafeArray array(::SafeArrayCreate(VT_VARIANT, 2, bounds));
    ASSERT_TRUE(array);
    Outcome outcome = Isolate(ArrayArgument(array.get()), 1, 3);
    EXPECT_EQ(E_INVALIDARG, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 2, 2);
    EXPECT_EQ(all_, MaskOf(0));
}

TEST_F(AffinityMethods, ArrayWithoutAConvertibleElementIsRefused) {
    Variant letter(L"x"), word(L"eight");
    UniqueSafeArray array = VariantArray({&letter, &word});
    Outcome outcome = Isolate(ArrayArgument(array.get()), 1);
    EXPECT_EQ(E_INVALIDARG, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 2);
    EXPECT_EQ(all_, MaskOf(0));
}

TEST_F(AffinityMethods, SignedCharArrayGivesNothing) {
    UniqueSafeArray array = NumberArray(VT_I1, {1, 2});
    Outcome outcome = Move(ArrayArgument(array.get(), VT_ARRAY | VT_I1), 1);
    EXPECT_EQ(E_INVALIDARG, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 2);
}

TEST_F(AffinityMethods, IsolateProcessesIsolatesTheListedProcesses) {
    Variant number(Pid(0));
    UniqueSafeArray array = VariantArray({&number});
    Outcome outcome = Isolate(ArrayArgument(array.get()), 2);
    EXPECT_EQ(S_OK, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 1);
    ExpectMasks({2ul, all_ & ~2ul});
}

TEST_F(AffinityMethods, IsolateProcessesOnAllProcessorsFails) {
    Variant number(Pid(0));
    UniqueSafeArray array = VariantArray({&number});
    Outcome outcome = Isolate(ArrayArgument(array.get()), static_cast<LONG>(all_));
    EXPECT_EQ(E_FAIL, outcome.result);
    EXPECT_EQ(4u, outcome.boxes.size());
}

TEST_F(AffinityMethods, IsolateProcessesOnNoProcessorFails) {
    Variant number(Pid(0));
    UniqueSafeArray array = VariantArray({&number});
    Outcome outcome = Isolate(ArrayArgument(array.get()), 0);
    EXPECT_EQ(E_FAIL, outcome.result);
    EXPECT_EQ(4u, outcome.boxes.size());
}

// Shapes that script engines produce, resolved before anything is read.

TEST_F(AffinityMethods, ArrayPassedByReferenceIsReadThroughTheReference) {
    Variant number(Pid(0));
    UniqueSafeArray array = VariantArray({&number});
    VARIANT held = ArrayArgument(array.get()); // 0x200C
    VARIANT argument;
    argument.vt = VT_BYREF | VT_VARIANT; // 0x400C
    argument.pvarVal = &held;
    Outcome outcome = Move(argument, 1);
    EXPECT_EQ(S_OK, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 1);
    EXPECT_EQ(1ul, MaskOf(0));
}

TEST_F(AffinityMethods, DynamicArrayPassedByReferenceIsReadThroughBothReferences) {
    Variant number(Pid(1));
    UniqueSafeArray array = VariantArray({&number});
    SAFEARRAY* descriptor = array.get();
    VARIANT held;
    held.vt = VT_BYREF | VT_ARRAY | VT_VARIANT; // 0x600C
    held.pparray = &descriptor;
    VARIANT argument;
    argument.vt = VT_BYREF | VT_VARIANT;
    argument.pvarVal = &held;
    Outcome outcome = Move(argument, 2);
    EXPECT_EQ(S_OK, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 1);
    EXPECT_EQ(2ul, MaskOf(1));

    // The same reference passed directly.
    ASSERT_TRUE(helpers_[1].SetMask(all_));
    EXPECT_EQ(S_OK, Move(held, 1).result);
    EXPECT_EQ(1ul, MaskOf(1));
}

TEST_F(AffinityMethods, ArgumentWithoutAnArrayIsRefusedWithoutBoxes) {
    VARIANT single;
    single.vt = VT_I4;
    single.lVal = Pid(0);
    Variant text(L"1234");
    VARIANT nullArray = ArrayArgument(nullptr);
    VARIANT nullReference;
    nullReference.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
    nullReference.pparray = nullptr;
    SAFEARRAY* nullDescriptor = nullptr;
    VARIANT referenceToNull;
    referenceToNull.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
    referenceToNull.pparray = &nullDescriptor;
    VARIANT nested;
    nested.vt = VT_BYREF | VT_VARIANT;
    nested.pvarVal = &nested;
    VARIANT nullVariantReference;
    nullVariantReference.vt = VT_BYREF | VT_VARIANT;
    nullVariantReference.pvarVal = nullptr;
    VARIANT empty;
    ::VariantInit(&empty);

    const VARIANT arguments[] = {
        single, *text, nullArray, nullReference, referenceToNull, nested, nullVariantReference,
        empty};
    for (const VARIANT& argument : arguments) {
        SCOPED_TRACE(argument.vt);
        Outcome outcome = Isolate(argument, 1, 0);
        EXPECT_EQ(E_INVALIDARG, outcome.result);
        EXPECT_EQ(0u, outcome.boxes.size());
    }
    EXPECT_EQ(all_, MaskOf(0));
}

TEST_F(AffinityMethods, ScriptArrayObjectIsTakenLikeAnArrayOfVariants) {
    ComPtr<IDispatch> script = ScriptArray::Make({Pid(0), Pid(2)});
    VARIANT argument;
    argument.vt = VT_DISPATCH;
    argument.pdispVal = script.get();
    Outcome outcome = Move(argument, 2);
    EXPECT_EQ(S_OK, outcome.result);
    ASSERT_EQ(4u, outcome.boxes.size());
    EXPECT_EQ("cDims: 1, cElements: 2", outcome.boxes[1].text);
    ExpectMasks({2ul, all_, 2ul});
}

TEST_F(AffinityMethods, ObjectWithoutLengthIsRefused) {
    ComPtr<IDispatch> script = ScriptArray::Make({Pid(0)}, false);
    VARIANT argument;
    argument.vt = VT_DISPATCH;
    argument.pdispVal = script.get();
    Outcome outcome = Move(argument, 1, 0);
    EXPECT_EQ(E_INVALIDARG, outcome.result);
    EXPECT_EQ(0u, outcome.boxes.size());
    EXPECT_EQ(all_, MaskOf(0));
}

TEST_F(AffinityMethods, ElementPathFollowsTheDescriptorNotTheArgumentType) {
    // 16-bit elements are converted one by one: read as 32-bit blocks they would pair up.
    ASSERT_LT(Pid(0), 0x8000);
    ASSERT_LT(Pid(1), 0x8000);
    UniqueSafeArray shorts = NumberArray(VT_I2, {Pid(0), Pid(1)});
    Outcome outcome = Move(ArrayArgument(shorts.get(), VT_ARRAY | VT_I4), 1);
    EXPECT_EQ(S_OK, outcome.result);
    ExpectArrayBoxes(outcome, shorts.get(), 1, 2);
    ExpectMasks({1ul, 1ul});

    // Variants announced as 32-bit numbers are still taken element by element.
    Variant number(Pid(2));
    UniqueSafeArray variants = VariantArray({&number});
    EXPECT_EQ(S_OK, Move(ArrayArgument(variants.get(), VT_ARRAY | VT_I4), 2).result);
    EXPECT_EQ(2ul, MaskOf(2));
}

TEST_F(AffinityMethods, ArrayOfUnconvertibleElementTypeIsRefused) {
    UniqueSafeArray array(::SafeArrayCreateVector(VT_UNKNOWN, 0, 2));
    ASSERT_TRUE(array);
    Outcome outcome = Move(ArrayArgument(array.get(), VT_ARRAY | VT_UNKNOWN), 1);
    EXPECT_EQ(E_INVALIDARG, outcome.result);
    ExpectArrayBoxes(outcome, array.get(), 1, 2);
}

} // namespace
