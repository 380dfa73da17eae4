#include "automation/diagnostic_box.h"

#include <windows.h>

namespace {

// A box in any other window station opens on a desktop nobody sees and would hold the caller
// for good; so would one where the station's flags cannot even be read.
bool WindowStationIsVisible() {
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    if (!::GetUserObjectInformationA(::GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof(flags),
                                     &needed))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

} // namespace

void ShowDiagnostic(const char* text, const char* caption) {
    if (WindowStationIsVisible())
        ::MessageBoxA(nullptr, text, caption, MB_OK);
}
