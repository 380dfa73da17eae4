// The program as a package put it on disk, started as a user starts it. The shell scripts of
// this folder name it and what to expect in the environment:
//   TANDREL_PROGRAM           the program file
//   TANDREL_VERSION           the version its version block must carry ("1.0.0.1")
//   TANDREL_WINDOW_REPORT     a file to write the screen's DPI and the list's column widths into
#include "helper_processes.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kHangGuardMilliseconds = 60 * 1000;
constexpr char kTitle[] = "Tandrel Pro";

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string VersionText(const std::vector<char>& block, const char* name) {
    char* text = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!::VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
        return "(none)";
    return std::string(text, length > 0 ? length - 1 : 0);
}

std::string DottedFileVersion(const std::vector<char>& block) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length))
        return "(none)";
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
}

HWND WaitForMainWindow(HANDLE process) {
    for (DWORD waited = 0; waited < kHangGuardMilliseconds; waited += 50) {
        HWND window = ::FindWindowA(nullptr, kTitle);
        if (window != nullptr && ::IsWindowVisible(window))
            return window;
        if (::WaitForSingleObject(process, 0) == WAIT_OBJECT_0)
            return nullptr;
        ::Sleep(50);
    }
    return nullptr;
}

} // namespace

TEST(InstalledProgram, CarriesItsVersionAndManifest) {
    const std::string program = Setting("TANDREL_PROGRAM");
    DWORD ignored = 0;
    std::vector<char> block(::GetFileVersionInfoSizeA(program.c_str(), &ignored));
    ASSERT_FALSE(block.empty()) << program << " has no version block";
    ASSERT_TRUE(
        ::GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    EXPECT_EQ(Setting("TANDREL_VERSION"), DottedFileVersion(block));
    EXPECT_EQ("Tandrel Pro", VersionText(block, "FileDescription"));
    EXPECT_EQ("Tandrel Pro", VersionText(block, "ProductName"));

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

TEST(InstalledProgram, StartsShowsItsListAndEndsWithExit) {
    // Measured in real pixels, as the system-aware program lays itself out.
    ::SetProcessDPIAware();
    HelperProcess program(Setting("TANDREL_PROGRAM"));
    ASSERT_NE(nullptr, program.handle());
    HWND window = WaitForMainWindow(program.handle());
    ASSERT_NE(nullptr, window) << "the main window did not appear";
    HWND list = ::GetDlgItem(window, IDC_PROCESS_LIST);
    EXPECT_GT(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0) << "the process list is empty";

    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
    ::ReleaseDC(nullptr, screen);
    RECT bounds{};
    ::GetWindowRect(list, &bounds);
    if (FILE* report = std::fopen(Setting("TANDREL_WINDOW_REPORT").c_str(), "w")) {
        std::fprintf(report, "dpi %d\nlist %ld\ncolumns", dpi, bounds.right - bounds.left);
        for (int column = 0; column < 3; ++column)
            std::fprintf(report, " %d",
                         static_cast<int>(::SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)));
        std::fprintf(report, "\n");
        std::fclose(report);
    }

    ::PostMessageA(::GetDlgItem(window, IDC_EXIT), BM_CLICK, 0, 0);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(program.handle(), kHangGuardMilliseconds));
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(program.handle(), &code);
    EXPECT_EQ(0u, code);
}
