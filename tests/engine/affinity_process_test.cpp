// The exported engine of the built DLL on real processes.
#include "engine/affinity.h"
#include "helper_processes.h"

#include <gtest/gtest.h>

namespace {

class RealProcesses : public ::testing::Test {
  protected:
    void SetUp() override {
        all = GenerateAllProcessorsMask();
        ASSERT_GE(all, 3ul) << "these tests need two processors";
        helpers = StartHelpers(3);
        for (const HelperProcess& helper : helpers)
            ASSERT_EQ(all, helper.mask()) << "a new helper runs on every processor";
    }
    // Isolating and resetting reach every process of the prefix, this one included.
    void TearDown() override { ::SetProcessAffinityMask(::GetCurrentProcess(), all); }

    unsigned long all = 0;
    std::vector<HelperProcess> helpers;
};

} // namespace

TEST(GenerateAllProcessorsMask, ReportsTheActiveProcessorMask) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    EXPECT_EQ(static_cast<unsigned long>(info.dwActiveProcessorMask), GenerateAllProcessorsMask());
}

TEST_F(RealProcesses, MoveProcessesMovesExactlyTheListedOnes) {
    unsigned long ids[] = {helpers[0].pid(), helpers[2].pid()};
    EXPECT_TRUE(MoveProcesses(2, ids, 0x2));
    EXPECT_EQ(0x2ul, helpers[0].mask());
    EXPECT_EQ(all, helpers[1].mask());
    EXPECT_EQ(0x2ul, helpers[2].mask());
}

TEST_F(RealProcesses, RefusedMasksChangeNothing) {
    unsigned long ids[] = {helpers[0].pid()};
    const unsigned long absent = (all + 1) & ~all; // the lowest processor the machine lacks
    for (unsigned long mask : {0ul, absent, absent | 0x1}) {
        if (mask == 0x1 && absent == 0)
            continue; // a 32-processor machine lacks nothing
        EXPECT_FALSE(MoveProcesses(1, ids, mask)) << "mask " << mask;
        EXPECT_EQ(all, helpers[0].mask()) << "mask " << mask;
    }
}

TEST_F(RealProcesses, AnEndedProcessIsPassedOver) {
    unsigned long ids[] = {helpers[1].pid(), EndedProcessId()};
    EXPECT_TRUE(MoveProcesses(2, ids, 0x1));
    EXPECT_EQ(0x1ul, helpers[1].mask());

    unsigned long onlyEnded[] = {EndedProcessId(), 0};
    EXPECT_FALSE(MoveProcesses(2, onlyEnded, 0x1));
}

TEST_F(RealProcesses, IsolateGivesTheListedOnesTheMaskAndEveryoneElseTheRest) {
    unsigned long ids[] = {helpers[0].pid()};
    EXPECT_TRUE(IsolateProcesses(1, ids, 0x1));
    EXPECT_EQ(0x1ul, helpers[0].mask());
    EXPECT_EQ(all & ~0x1ul, helpers[1].mask());
    EXPECT_EQ(all & ~0x1ul, helpers[2].mask());
    EXPECT_EQ(all & ~0x1ul, MaskOf(::GetCurrentProcess())) << "the caller is moved as well";
}

TEST_F(RealProcesses, IsolateRefusesMasksThatLeaveNothingAndChangesNothing) {
    unsigned long ids[] = {helpers[0].pid()};
    helpers[1].SetMask(0x1);
    const unsigned long absent = (all + 1) & ~all;
    for (unsigned long mask : {0ul, all, absent | 0x1}) {
        if (mask == 0x1)
            continue;
        EXPECT_FALSE(IsolateProcesses(1, ids, mask)) << "mask " << mask;
        EXPECT_EQ(all, helpers[0].mask()) << "mask " << mask;
        EXPECT_EQ(0x1ul, helpers[1].mask()) << "mask " << mask;
        EXPECT_EQ(all, helpers[2].mask()) << "mask " << mask;
    }
}

TEST_F(RealProcesses, MoveAllProcessesResetsEveryProcess) {
    for (HelperProcess& helper : helpers)
        helper.SetMask(0x2);
    ::SetProcessAffinityMask(::GetCurrentProcess(), 0x2);
    EXPECT_TRUE(MoveAllProcesses(all));
    for (const HelperProcess& helper : helpers)
        EXPECT_EQ(all, helper.mask());
    EXPECT_EQ(all, MaskOf(::GetCurrentProcess()));
}

TEST(EnableServiceManipulation, EnablesTheDebugPrivilegeOfThisProcess) {
    EXPECT_TRUE(EnableServiceManipulation());

    HANDLE rawToken = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &rawToken));
    UniqueHandle token(rawToken);
    LUID debug{};
    ASSERT_TRUE(::LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &debug));
    PRIVILEGE_SET query{};
    query.PrivilegeCount = 1;
    query.Privilege[0].Luid = debug;
    BOOL enabled = -1;
    ASSERT_TRUE(::PrivilegeCheck(token.get(), &query, &enabled));
    EXPECT_EQ(TRUE, enabled);
}
