// The built program, started as the user starts it: its version block and manifest, the ways to
// end it and a second start. The package tests run it on the program as a package put it on disk,
// named in the environment:
//   TANDREL_PROGRAM           the program file (by default the built one)
//   TANDREL_VERSION           the version its version block must carry ("1.0.1.0")
//   TANDREL_WINDOW_REPORT     a file to write the screen's DPI and the list's column widths into
#include "helper_processes.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kHangGuardMilliseconds = 60 * 1000;

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string ProgramPath() {
    const std::string program = Setting("TANDREL_PROGRAM");
    return program.empty() ? ProgramDirectory() + "..\\..\\bin\\Tandrel Pro.exe" : program;
}

class RunningProgram {
  public:
    RunningProgram() : process_(ProgramPath()) {}

    HANDLE handle() const { return process_.handle(); }
    bool running() const { return ::WaitForSingleObject(process_.handle(), 0) == WAIT_TIMEOUT; }

    // Waits until the program has ended and returns its exit code (or STILL_ACTIVE).
    DWORD ExitCode() const {
        ::WaitForSingleObject(process_.handle(), kHangGuardMilliseconds);
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
    for (DWORD waited = 0; waited < kHangGuardMilliseconds && program.running(); waited += 50) {
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
        ASSERT_NE(nullptr, window)
            << (program.running() ? "no main window shown within 60 s"
                                  : "the program ended before its main window showed");
        steps(program, window);
        if (HasFatalFailure())
            return; // the program still runs; waiting for its end would only take the guard's time
        EXPECT_EQ(0u, program.ExitCode()) << "259 (STILL_ACTIVE): not ended within 60 s";
    }
};

// The screen's DPI and the list's width and column widths, for the package tests to compare
// between two DPI settings.
void ReportWindow(HWND list) {
    FILE* report = std::fopen(Setting("TANDREL_WINDOW_REPORT").c_str(), "w");
    if (report == nullptr)
        return;
    HDC screen = ::GetDC(nullptr);
    RECT bounds{};
    ::GetWindowRect(list, &bounds);
    std::fprintf(report, "dpi %d\nlist %ld\ncolumns", ::GetDeviceCaps(screen, LOGPIXELSX),
                 bounds.right - bounds.left);
    ::ReleaseDC(nullptr, screen);
    for (int column = 0; column < 3; ++column)
        std::fprintf(report, " %d",
                     static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)));
    std::fprintf(report, "\n");
    std::fclose(report);
}

} // namespace

TEST(ProgramFile, CarriesItsVersionAndManifest) {
    const std::string program = ProgramPath();
    DWORD ignored = 0;
    std::vector<char> block(::GetFileVersionInfoSizeA(program.c_str(), &ignored));
    ASSERT_FALSE(block.empty()) << program << " has no version block";
    ASSERT_TRUE(
        ::GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(Setting("TANDREL_VERSION"), std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                              std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                                              std::to_string(LOWORD(fixed->dwFileVersionLS)));

    HMODULE file = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, file);
    HRSRC manifest = ::FindResourceA(file, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(nullptr, manifest) << "no RT_MANIFEST 1";
    std::string text(static_cast<const char*>(::LockResource(::LoadResource(file, manifest))),
                     ::SizeofResource(file, manifest));
    for (const char* part : {"Microsoft.Windows.Common-Controls", "highestAvailable",
                             "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/"
                             "WindowsSettings\">true</dpiAware>"})
        EXPECT_NE(std::string::npos, text.find(part)) << "the manifest lacks " << part;
    ::FreeLibrary(file);
}

TEST_F(ProgramTest, ExitButtonEndsWithZero) {
    // Measured in real pixels, as the system-aware program lays itself out.
    ::SetProcessDPIAware();
    RunUntilItEnds([](const RunningProgram&, HWND window) {
        EXPECT_TRUE(::IsWindowVisible(window));
        HWND list = ::GetDlgItem(window, 1002);
        EXPECT_GT(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0) << "the process list is empty";
        ReportWindow(list);
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
