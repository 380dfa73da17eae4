// The system calls of start-up and of the notification icon that tests stand in for: a test
// machine cannot turn into a non-NT system, and the shell keeps its icons in another process
// where nobody can read them back. The processors are asked of the process layer
// (engine/process_platform.h).
#pragma once

#include "common/platform_seam.h"

#include <windows.h>
#include <shellapi.h>

class FrontendPlatform {
  public:
    virtual ~FrontendPlatform() = default;

    virtual BOOL QueryVersion(OSVERSIONINFOA* info);
    virtual BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data);
};

inline FrontendPlatform& CurrentFrontendPlatform() {
    return PlatformSeam<FrontendPlatform>::Current();
}

// Puts a stand-in platform in place for the lifetime of the object.
using ScopedFrontendPlatform = PlatformSeam<FrontendPlatform>::Scoped;
