#include "frontend/startup.h"

#include "common/dialog_binding.h"
#include "engine/affinity.h"
#include "engine/process_platform.h"
#include "frontend/frontend_platform.h"
#include "frontend/main_window.h"
#include "frontend/resource.h"

#include <commctrl.h>

#include <string>

namespace {

constexpr char kNotNtMessage[] = "Tandrel is only compatible with Windows NT 4.0 and Windows 2000.";
constexpr char kTooFewProcessorsMessage[] =
    "Tandrel must run on a system with 2 or more processors.";
constexpr char kCreateWindowFailedMessage[] = "Error creating main window.";

void ShowError(const char* text) {
    ::MessageBoxA(nullptr, text, kProgramTitle, MB_OK | MB_ICONERROR);
}

// Trims the working set after every message, so that the program stays small while it waits in
// the notification area. No IsDialogMessage: Tab, Enter and Escape do nothing in the main window.
void RunMessageLoop() {
    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
        ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1),
                                   static_cast<SIZE_T>(-1));
    }
}

} // namespace

bool IsFirstInstance() {
    return !::IsWindow(::FindWindowA(nullptr, kProgramTitle));
}

bool CheckPlatform() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    CurrentFrontendPlatform().QueryVersion(&version);
    // Only the platform counts: every version of the NT line passes.
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        ShowError(kNotNtMessage);
        return false;
    }
    SYSTEM_INFO system{};
    CurrentProcessPlatform().QuerySystemInfo(&system);
    // The mask is compared as a number, not counted: 3 and 4 pass, 1 and 2 do not.
    if (system.dwNumberOfProcessors >= 2 && system.dwActiveProcessorMask >= 3)
        return true;
    ShowError(kTooFewProcessorsMessage);
    return false;
}

HWND CreateMainWindow() {
    HWND window = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN),
                                       nullptr, MainWindowProc, 0);
    // A window whose object could not be made was ended as a cancel and cannot serve: start-up
    // fails as it does without the template.
    if (window != nullptr && BoundDialogObject<MainWindow>(window) == nullptr) {
        ::DestroyWindow(window);
        return nullptr;
    }
    return window;
}

int RunProgram() {
    if (!IsFirstInstance())
        return 0;
    if (!CheckPlatform())
        return 0;
    // Without the privilege, the processes that cannot be opened are simply missing from the list.
    EnableServiceManipulation();
    // Registers the list view class that the main window's template names.
    ::InitCommonControls();
    try {
        HWND window = CreateMainWindow();
        if (window == nullptr)
            throw std::string(kCreateWindowFailedMessage);
        ::ShowWindow(window, SW_SHOW);
        RunMessageLoop();
    } catch (const std::string& error) {
        ShowError(error.c_str());
    }
    // The main window is not destroyed: it ends with the process.
    return 0;
}
