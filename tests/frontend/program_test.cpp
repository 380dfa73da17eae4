// The built program, started as the user starts it: the ways to end it and a second start.
#include "helper_processes.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr DWORD HANG_GUARD_MILLISECONDS = 60 * 1000;

std::string ProgramPath() {
    return TestProgramDirectory() + "..\\..\\bin\\Tandrel Pro.exe";
}

class RunningProgram {
  public:
    RunningProgram() : process_(ProgramPath()) {}

    HANDLE handle() const { return process_.handle(); }
    bool running() const { return ::WaitForSingleObject(process_.handle(), 0) == WAIT_TIMEOUT; }

    // Waits until the program has ended and returns its exit code (or STILL_ACTIVE).
    DWORD ExitCode() const {
        ::WaitForSingleObject(process_.handle(), HANG_GUARD_MILLISECONDS);
        DWORD code = 0xDEADBEEF;
        ::GetExitCodeProcess(process_.handle(), &code);
        return code;
    }

  private:
    HelperProcess process_;
};

HWND MainWindow() {
    return ::FindWindowA(nullptr, "Tandrel Pro");
}

// The program's main window once it is shown; null if the program ended first. Waiting for the
// program to be idle is not enough: a new process can go idle before its window exists.
HWND WaitForMainWindow(const RunningProgram& program) {
    for (DWORD waited = 0; waited < HANG_GUARD_MILLISECONDS && program.running(); waited += 50) {
        HWND window = MainWindow();
        if (window != nullptr && ::IsWindowVisible(window))
            return window;
        ::Sleep(50);
    }
    return nullptr;
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(nullptr, MainWindow()) << "an instance is running already"; }

    // Starts the program and hands it, with its main window once shown, to `steps`, which end it:
    // it must end with exit code 0.
    template <typename Steps> void RunUntilItEnds(Steps&& steps) {
        RunningProgram program;
        HWND window = WaitForMainWindow(program);
        ASSERT_NE(nullptr, window);
        steps(program, window);
        if (HasFatalFailure())
            return; // the program still runs; waiting for its end would only take the guard's time
        EXPECT_EQ(0u, program.ExitCode());
    }
};

} // namespace

TEST_F(ProgramTest, ExitButtonEndsWithZero) {
    RunUntilItEnds([](const RunningProgram&, HWND window) {
        EXPECT_TRUE(::IsWindowVisible(window));
        ::PostMessageA(::GetDlgItem(window, 1006), BM_CLICK, 0, 0);
    });
}

TEST_F(ProgramTest, CaptionCloseEndsWithZero) {
    RunUntilItEnds([](const RunningProgram&, HWND window) {
        ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
}

TEST_F(ProgramTest, AltF4EndsWithZero) {
    RunUntilItEnds([](const RunningProgram&, HWND window) {
        // The key goes to the list, where the focus is; Alt is down (bit 29).
        HWND list = ::GetDlgItem(window, 1002);
        ::PostMessageA(list, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
        ::PostMessageA(list, WM_SYSKEYUP, VK_F4, 0xE03E0001);
    });
}

TEST_F(ProgramTest, SecondStartEndsAtOnceAndLeavesTheFirstAlone) {
    RunUntilItEnds([](const RunningProgram& first, HWND window) {
        RunningProgram second;

        EXPECT_EQ(0u, second.ExitCode());
        EXPECT_TRUE(first.running());
        EXPECT_EQ(window, MainWindow());
        EXPECT_TRUE(::IsWindowVisible(window));
        EXPECT_EQ(window, ::FindWindowExA(nullptr, nullptr, nullptr, "Tandrel Pro"));
        EXPECT_EQ(nullptr, ::FindWindowExA(nullptr, window, nullptr, "Tandrel Pro"));
        ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
}

TEST_F(ProgramTest, SecondStartLeavesAHiddenFirstHidden) {
    RunUntilItEnds([](const RunningProgram& first, HWND window) {
        ::SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ASSERT_FALSE(::IsWindowVisible(window));

        RunningProgram second;

        EXPECT_EQ(0u, second.ExitCode());
        EXPECT_TRUE(first.running());
        EXPECT_FALSE(::IsWindowVisible(window));
        // A close request from outside still ends the hidden program.
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    });
}
