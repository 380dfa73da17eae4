// The program's life from its start to the end of its only message loop.
#pragma once

#include <windows.h>

// True when no top-level window titled like the main window exists.
bool IsFirstInstance();

// True on a supported system; otherwise the reason has already been shown.
bool CheckPlatform();

// The main window from template IDD_MAIN, with its list filled once; null on failure.
HWND CreateMainWindow();

// Refuses a second instance and unsupported systems, shows the main window and serves it until
// it is closed. Returns the exit code, which is 0 on every path.
int RunProgram();
