// Start-up in the test's own process: the refusals over a stand-in for the system's answers, and
// a whole run on the real system, which shows the window and serves it until "Exit".
#include "engine/process_platform.h"
#include "frontend/frontend_platform.h"
#include "frontend/main_window.h"
#include "menu_driver.h"
#include "modal_driver.h"
#include "frontend/resource.h"
#include "frontend/startup.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

constexpr char kNotNtMessage[] = "Tandrel is only compatible with Windows NT 4.0 and Windows 2000.";
constexpr char kTooFewProcessorsMessage[] =
    "Tandrel must run on a system with 2 or more processors.";

// The system version of the front end's platform and the processors of the process layer.
class FakeSystem : public FrontendPlatform, public ProcessPlatform {
  public:
    FakeSystem(DWORD platformId, DWORD processors, DWORD_PTR activeMask)
        : platformId_(platformId), processors_(processors), activeMask_(activeMask) {}

    BOOL QueryVersion(OSVERSIONINFOA* info) override {
        sizeSeen = info->dwOSVersionInfoSize;
        info->dwMajorVersion = 4;
        info->dwPlatformId = platformId_;
        return TRUE;
    }
    void QuerySystemInfo(SYSTEM_INFO* info) override {
        ++systemInfoCalls;
        info->dwNumberOfProcessors = processors_;
        info->dwActiveProcessorMask = activeMask_;
    }

    DWORD sizeSeen = 0;
    int systemInfoCalls = 0;

  private:
    DWORD platformId_;
    DWORD processors_;
    DWORD_PTR activeMask_;
};

// Whether the debug privilege is enabled in the test process's token.
bool DebugPrivilegeEnabled() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    LUID debug{};
    ::LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &debug);
    PRIVILEGE_SET query{};
    query.PrivilegeCount = 1;
    query.Control = PRIVILEGE_SET_ALL_NECESSARY;
    query.Privilege[0].Luid = debug;
    BOOL enabled = FALSE;
    ::PrivilegeCheck(token, &query, &enabled);
    ::CloseHandle(token);
    return enabled != FALSE;
}

void DisableDebugPrivilege() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
    TOKEN_PRIVILEGES state{};
    state.PrivilegeCount = 1;
    ::LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &state.Privileges[0].Luid);
    state.Privileges[0].Attributes = 0;
    ::AdjustTokenPrivileges(token, FALSE, &state, sizeof(state), nullptr, nullptr);
    ::CloseHandle(token);
}

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DisableDebugPrivilege();
        ASSERT_FALSE(DebugPrivilegeEnabled());
        ASSERT_TRUE(IsFirstInstance());
    }
    void TearDown() override {
        // A window that start-up left (it is not destroyed at the end of the loop).
        while (HWND window = ::FindWindowA(nullptr, "Tandrel Pro"))
            ::DestroyWindow(window);
        PumpMessages();
        MSG quit{};
        ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    // Runs start-up with only a refusal expected; its box is answered with OK.
    void RunRefused(FakeSystem& system) {
        ScopedFrontendPlatform useSystem(system);
        ScopedProcessPlatform useProcessors(system);
        ModalDriver dialogs;
        // OK ends the box; should the main window appear by mistake, the close request ends its
        // loop so that the test fails instead of waiting.
        auto okOrClose = [](HWND dialog) {
            ModalDriver::Click(IDOK)(dialog);
            ::PostMessageA(dialog, WM_CLOSE, 0, 0);
        };
        dialogs.Then(okOrClose);
        dialogs.Then(okOrClose);
        EXPECT_EQ(0, RunProgram());
        shown_ = dialogs.shown();
    }

    void ExpectOnlyTheBox(const char* text) {
        ASSERT_EQ(1u, shown_.size());
        EXPECT_EQ("Tandrel Pro", shown_[0].caption);
        EXPECT_EQ(text, shown_[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), shown_[0].icon);
        EXPECT_EQ(std::vector<int>{IDOK}, shown_[0].buttons);
        EXPECT_TRUE(shown_[0].expected);
        EXPECT_EQ(nullptr, ::FindWindowA(nullptr, "Tandrel Pro"));
        EXPECT_FALSE(DebugPrivilegeEnabled());
    }

    std::vector<ShownDialog> shown_;
};

} // namespace

TEST_F(StartupTest, NonNtPlatformShowsOnlyTheCompatibilityBox) {
    for (DWORD platform : {VER_PLATFORM_WIN32s, VER_PLATFORM_WIN32_WINDOWS}) {
        FakeSystem system(platform, 2, 3);
        RunRefused(system);
        ExpectOnlyTheBox(kNotNtMessage);
        EXPECT_EQ(sizeof(OSVERSIONINFOA), system.sizeSeen);
        EXPECT_EQ(0, system.systemInfoCalls) << "platform " << platform;
    }
}

TEST_F(StartupTest, FewerThanTwoProcessorsShowOnlyTheProcessorCountBox) {
    struct Machine {
        DWORD processors;
        DWORD_PTR activeMask;
    };
    // The mask counts as a number: 2 fails although it names one processor more than 1 does.
    for (Machine machine : {Machine{1, 1}, Machine{1, 3}, Machine{2, 1}, Machine{2, 2},
                            Machine{32, 2}, Machine{0, 0}}) {
        SCOPED_TRACE(testing::Message()
                     << machine.processors << " processors, mask " << machine.activeMask);
        FakeSystem system(VER_PLATFORM_WIN32_NT, machine.processors, machine.activeMask);
        RunRefused(system);
        ExpectOnlyTheBox(kTooFewProcessorsMessage);
        EXPECT_EQ(1, system.systemInfoCalls);
    }
}

TEST_F(StartupTest, TwoOrMoreProcessorsOnNtPass) {
    struct Machine {
        DWORD processors;
        DWORD_PTR activeMask;
    };
    for (Machine machine : {Machine{2, 3}, Machine{2, 4}, Machine{2, 6}, Machine{32, 0xFFFFFFFF}}) {
        FakeSystem system(VER_PLATFORM_WIN32_NT, machine.processors, machine.activeMask);
        ScopedFrontendPlatform useSystem(system);
        ScopedProcessPlatform useProcessors(system);
        ModalDriver dialogs;
        EXPECT_TRUE(CheckPlatform())
            << machine.processors << " processors, mask " << machine.activeMask;
        EXPECT_TRUE(dialogs.shown().empty());
    }
}

namespace {

struct SeenWhileRunning {
    bool visible = false;
    int rows = 0;
} seenWhileRunning;

// Runs inside the program's message loop once the window is up, then presses "Exit".
void CALLBACK LookAndPressExit(HWND, UINT, UINT_PTR timerId, DWORD) {
    ::KillTimer(nullptr, timerId);
    HWND window = ::FindWindowA(nullptr, "Tandrel Pro");
    seenWhileRunning.visible = window != nullptr && ::IsWindowVisible(window);
    HWND list = ::GetDlgItem(window, IDC_PROCESS_LIST);
    seenWhileRunning.rows = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    ::PostMessageA(::GetDlgItem(window, IDC_EXIT), BM_CLICK, 0, 0);
}

} // namespace

TEST_F(StartupTest, RunShowsTheFilledWindowUntilExit) {
    ::SetTimer(nullptr, 0, 100, LookAndPressExit);

    EXPECT_EQ(0, RunProgram());

    EXPECT_TRUE(seenWhileRunning.visible);
    EXPECT_GT(seenWhileRunning.rows, 0);
    EXPECT_TRUE(DebugPrivilegeEnabled());
    // The window outlives the loop; it ends with the process.
    EXPECT_NE(nullptr, ::FindWindowA(nullptr, "Tandrel Pro"));
}

TEST_F(StartupTest, AnyWindowWithTheTitleCountsAsARunningInstance) {
    HWND other = ::CreateWindowA("STATIC", "Tandrel Pro", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(nullptr, other);
    ModalDriver dialogs;
    EXPECT_FALSE(IsFirstInstance());
    EXPECT_EQ(0, RunProgram());
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_FALSE(DebugPrivilegeEnabled());
    ::DestroyWindow(other);
    EXPECT_TRUE(IsFirstInstance());
}
