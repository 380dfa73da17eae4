// The engine over a stand-in platform: cases that real processes cannot produce, and the exact
// calls the engine makes.
#include "engine/affinity.h"
#include "engine/process_platform.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

HANDLE HandleFor(DWORD pid) {
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1000 + pid * 4));
}
DWORD PidFor(HANDLE handle) {
    return static_cast<DWORD>((reinterpret_cast<ULONG_PTR>(handle) - 0x1000) / 4);
}

// A machine of processes held in memory. Every call is logged as text, in order.
class FakePlatform : public ProcessPlatform {
  public:
    DWORD_PTR activeMask = 0x3;
    std::vector<DWORD> processes; // what EnumProcesses reports
    std::set<DWORD> unopenable;   // OpenProcess fails
    std::set<DWORD> refusingSet;  // SetProcessAffinityMask fails
    std::set<DWORD> ended;        // gone since the enumeration; its handle outlives it
    std::map<DWORD, DWORD_PTR> masks;
    bool enumerationFails = false;
    bool allocationFails = false;
    bool tokenOpens = true;
    bool lookupSucceeds = true;
    BOOL adjustResult = TRUE;
    DWORD adjustLastError = ERROR_SUCCESS;

    std::vector<std::string> calls;
    std::vector<DWORD> enumerationSizes;
    int openHandles = 0;
    TOKEN_PRIVILEGES adjusted{};
    DWORD adjustedLength = 0;

    void QuerySystemInfo(SYSTEM_INFO* info) override {
        calls.push_back("info");
        info->dwActiveProcessorMask = activeMask;
    }
    HANDLE OpenProcess(DWORD access, DWORD pid) override {
        calls.push_back("open " + std::to_string(pid) + " access " + std::to_string(access));
        if (unopenable.count(pid) != 0)
            return nullptr;
        ++openHandles;
        return HandleFor(pid);
    }
    BOOL SetProcessAffinityMask(HANDLE process, DWORD_PTR mask) override {
        DWORD pid = PidFor(process);
        calls.push_back("set " + std::to_string(pid) + " " + std::to_string(mask));
        if (mask == 0 || (mask & ~activeMask) != 0 || refusingSet.count(pid) != 0 ||
            ended.count(pid) != 0)
            return FALSE;
        masks[pid] = mask;
        return TRUE;
    }
    BOOL CloseHandle(HANDLE) override {
        --openHandles;
        return TRUE;
    }
    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* written) override {
        enumerationSizes.push_back(bytes);
        if (enumerationFails)
            return FALSE;
        DWORD count = std::min<DWORD>(bytes / sizeof(DWORD), static_cast<DWORD>(processes.size()));
        std::copy(processes.begin(), processes.begin() + count, ids);
        *written = count * sizeof(DWORD);
        return TRUE;
    }
    BOOL OpenCurrentProcessToken(DWORD access, HANDLE* token) override {
        calls.push_back("token " + std::to_string(access));
        if (!tokenOpens)
            return FALSE;
        ++openHandles;
        *token = HandleFor(99999);
        return TRUE;
    }
    BOOL LookupPrivilege(const char* name, LUID* luid) override {
        calls.push_back(std::string("lookup ") + name);
        luid->LowPart = 20;
        luid->HighPart = 0;
        return lookupSucceeds;
    }
    BOOL AdjustTokenPrivileges(HANDLE, TOKEN_PRIVILEGES* state, DWORD length,
                               DWORD* lastError) override {
        adjusted = *state;
        adjustedLength = length;
        *lastError = adjustLastError;
        return adjustResult;
    }
    void* Allocate(SIZE_T bytes) override {
        return allocationFails ? nullptr : ProcessPlatform::Allocate(bytes);
    }
};

std::vector<DWORD> Range(DWORD first, DWORD count) {
    std::vector<DWORD> ids;
    for (DWORD i = 0; i < count; ++i)
        ids.push_back(first + i);
    return ids;
}

size_t CountCalls(const std::vector<std::string>& calls, const std::string& prefix) {
    size_t n = 0;
    for (const std::string& call : calls)
        n += call.rfind(prefix, 0) == 0;
    return n;
}

class AffinityEngine : public ::testing::Test {
  protected:
    FakePlatform platform;
    ScopedProcessPlatform scope{platform};

    void TearDown() override { EXPECT_EQ(0, platform.openHandles) << "handles left open"; }
};

} // namespace

TEST_F(AffinityEngine, GenerateAllProcessorsMaskAsksEveryTime) {
    platform.activeMask = 0x5;
    EXPECT_EQ(0x5ul, GenerateAllProcessorsMask());
    platform.activeMask = 0xFFFFFFFF;
    EXPECT_EQ(0xFFFFFFFFul, GenerateAllProcessorsMask());
    EXPECT_EQ(2u, CountCalls(platform.calls, "info"));
}

TEST_F(AffinityEngine, MoveProcessesWithNoCountOpensNothing) {
    EXPECT_FALSE(MoveProcesses(0, nullptr, 1));
    EXPECT_FALSE(MoveProcesses(-1, nullptr, 1));
    EXPECT_FALSE(MoveProcesses(INT_MIN, nullptr, 1));
    EXPECT_TRUE(platform.calls.empty()) << platform.calls.front();
}

TEST_F(AffinityEngine, MoveProcessesOpensWithSetInformationOnly) {
    unsigned long ids[] = {7};
    EXPECT_TRUE(MoveProcesses(1, ids, 1));
    ASSERT_FALSE(platform.calls.empty());
    EXPECT_EQ("open 7 access " + std::to_string(PROCESS_SET_INFORMATION), platform.calls[0]);
}

TEST_F(AffinityEngine, LastOpenedProcessDecidesTheResult) {
    platform.unopenable = {9};
    unsigned long runningThenEnded[] = {8, 9};
    EXPECT_TRUE(MoveProcesses(2, runningThenEnded, 1));

    platform.refusingSet = {11};
    unsigned long acceptingThenRefusing[] = {10, 11};
    EXPECT_FALSE(MoveProcesses(2, acceptingThenRefusing, 1));
    EXPECT_EQ(1u, platform.masks[10]) << "the first process is moved all the same";

    unsigned long refusingThenAccepting[] = {11, 10};
    EXPECT_TRUE(MoveProcesses(2, refusingThenAccepting, 2));

    unsigned long noneOpens[] = {9, 9};
    EXPECT_FALSE(MoveProcesses(2, noneOpens, 1));
}

TEST_F(AffinityEngine, MoveProcessesTriesEveryListedProcess) {
    platform.refusingSet = {1, 2};
    unsigned long ids[] = {1, 2, 3, 3};
    EXPECT_TRUE(MoveProcesses(4, ids, 2));
    EXPECT_EQ(4u, CountCalls(platform.calls, "set "));
}

TEST_F(AffinityEngine, MoveAllProcessesEnumeratesOnceBelowTheFirstBuffer) {
    platform.processes = Range(100, 255);
    EXPECT_TRUE(MoveAllProcesses(3));
    EXPECT_EQ(std::vector<DWORD>{1024}, platform.enumerationSizes);
    EXPECT_EQ(255u, platform.masks.size());
}

TEST_F(AffinityEngine, AFullBufferIsTakenAgainWithTwiceTheRoom) {
    platform.processes = Range(100, 256);
    EXPECT_TRUE(MoveAllProcesses(3));
    EXPECT_EQ((std::vector<DWORD>{1024, 2048}), platform.enumerationSizes);
    EXPECT_EQ(256u, platform.masks.size());
    EXPECT_EQ(256u, CountCalls(platform.calls, "open "));
}

TEST_F(AffinityEngine, LargeSystemsDoubleUntilTheListFits) {
    platform.processes = Range(4, 1500);
    EXPECT_TRUE(MoveAllProcesses(1));
    EXPECT_EQ((std::vector<DWORD>{1024, 2048, 4096, 8192}), platform.enumerationSizes);
    EXPECT_EQ(1500u, platform.masks.size());
}

TEST_F(AffinityEngine, FailedEnumerationTouchesNothing) {
    platform.processes = Range(100, 3);
    platform.enumerationFails = true;
    EXPECT_FALSE(MoveAllProcesses(3));
    EXPECT_EQ(0u, CountCalls(platform.calls, "open "));
}

TEST_F(AffinityEngine, NoEnumerationBufferTouchesNothing) {
    platform.processes = Range(100, 3);
    platform.allocationFails = true;
    EXPECT_FALSE(MoveAllProcesses(3));
    EXPECT_TRUE(platform.enumerationSizes.empty());
    EXPECT_EQ(0u, CountCalls(platform.calls, "open "));
}

TEST_F(AffinityEngine, EmptyEnumerationIsAFailure) {
    EXPECT_FALSE(MoveAllProcesses(3));
}

TEST_F(AffinityEngine, IsolateMovesEveryoneToTheComplementThenTheListedOnesToTheMask) {
    platform.activeMask = 0xF;
    platform.processes = {4, 5, 6};
    unsigned long listed[] = {5};
    EXPECT_TRUE(IsolateProcesses(1, listed, 0x1));
    std::vector<std::string> sets;
    for (const std::string& call : platform.calls)
        if (call.rfind("set ", 0) == 0)
            sets.push_back(call);
    EXPECT_EQ((std::vector<std::string>{"set 4 14", "set 5 14", "set 6 14", "set 5 1"}), sets);
}

TEST_F(AffinityEngine, IsolateMovesTheListedProcessesWhateverAnotherProcessDoes) {
    struct Case {
        const char* what;
        std::set<DWORD> refusingSet;
        std::set<DWORD> ended;
    };
    const Case cases[] = {
        {"the last process refuses its move", {7}, {}},
        {"the last process has ended", {}, {7}},
        {"the last listed process refuses the mask", {6}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform machine;
        ScopedProcessPlatform replaced(machine);
        machine.activeMask = 0xF;
        machine.processes = {4, 5, 6, 7};
        machine.refusingSet = c.refusingSet;
        machine.ended = c.ended;
        unsigned long listed[] = {5, 6};
        EXPECT_FALSE(IsolateProcesses(2, listed, 0x3));
        for (DWORD pid : machine.processes) {
            const bool moved = c.refusingSet.count(pid) == 0 && c.ended.count(pid) == 0;
            const bool isListed = pid == 5 || pid == 6;
            EXPECT_EQ(moved ? (isListed ? 0x3u : 0xCu) : 0u, machine.masks[pid]) << "pid " << pid;
        }
        EXPECT_EQ(0, machine.openHandles);
    }
}

TEST_F(AffinityEngine, IsolateRefusesMasksThatLeaveNothingBeforeTouchingAnyProcess) {
    platform.processes = {4, 5, 6};
    unsigned long listed[] = {5};
    for (unsigned long mask : {0x0ul, 0x3ul, 0x4ul, 0x5ul, 0x80000000ul}) {
        platform.calls.clear();
        EXPECT_FALSE(IsolateProcesses(1, listed, mask)) << "mask " << mask;
        EXPECT_EQ(0u, CountCalls(platform.calls, "open ")) << "mask " << mask;
        EXPECT_TRUE(platform.enumerationSizes.empty()) << "mask " << mask;
    }
}

TEST_F(AffinityEngine, EnableServiceManipulationEnablesTheDebugPrivilege) {
    EXPECT_TRUE(EnableServiceManipulation());
    ASSERT_GE(platform.calls.size(), 2u);
    EXPECT_EQ("token " + std::to_string(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY), platform.calls[0]);
    EXPECT_EQ("lookup SeDebugPrivilege", platform.calls[1]);
    EXPECT_EQ(1u, platform.adjusted.PrivilegeCount);
    EXPECT_EQ(static_cast<DWORD>(SE_PRIVILEGE_ENABLED), platform.adjusted.Privileges[0].Attributes);
    EXPECT_EQ(20u, platform.adjusted.Privileges[0].Luid.LowPart);
    EXPECT_EQ(16u, platform.adjustedLength);
}

TEST_F(AffinityEngine, APrivilegeTheTokenLacksIsNotReportedAsEnabled) {
    platform.adjustLastError = ERROR_NOT_ALL_ASSIGNED;
    EXPECT_FALSE(EnableServiceManipulation());
}

TEST_F(AffinityEngine, EnableServiceManipulationFailures) {
    platform.adjustResult = FALSE;
    EXPECT_FALSE(EnableServiceManipulation());
    platform.adjustResult = TRUE;
    platform.lookupSucceeds = false;
    EXPECT_FALSE(EnableServiceManipulation());
    platform.tokenOpens = false;
    EXPECT_FALSE(EnableServiceManipulation());
}
