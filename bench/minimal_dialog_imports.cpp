#include "minimal_dialog_preparation.h"

#include "engine/affinity.h"

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

namespace {
// Referenced, never called: the import alone makes the loader map the library.
volatile auto notifyIcon = &::Shell_NotifyIconA;
volatile auto enumerateProcesses = &::EnumProcesses;
} // namespace

void PrepareMinimalDialog() {
    ::InitCommonControls();
    GenerateAllProcessorsMask();
}
