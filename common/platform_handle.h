// A handle closed through the platform seam that opened it (see platform_seam.h).
#pragma once

#include <windows.h>

// A handle closed through the platform that opened it, on every way out, so that a stand-in
// sees each handle it gave out come back. A null handle is not closed.
template <typename Platform> class PlatformHandle {
  public:
    PlatformHandle(Platform& platform, HANDLE handle) : platform_(platform), handle_(handle) {}
    ~PlatformHandle() {
        if (handle_ != nullptr)
            platform_.CloseHandle(handle_);
    }
    PlatformHandle(const PlatformHandle&) = delete;
    PlatformHandle& operator=(const PlatformHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    Platform& platform_;
    HANDLE handle_;
};
