// The enumeration of process identifiers into a buffer that grows by doubling.
#pragma once

#include <windows.h>

// Room for this many identifiers on the first call.
constexpr DWORD kInitialProcessIdCapacity = 256;

// Calls `fill(bytes, &bytesWritten)` with room for 256, 512, 1024, ... identifiers for as long as
// it fills its room exactly, since a full buffer may have cut the list short; `fill` makes a
// buffer of `bytes` bytes and enumerates into it. True with the last call's count in
// *bytesWritten; false as soon as `fill` fails or the room would no longer fit a DWORD.
template <typename Fill> bool EnumerateWithDoubling(Fill fill, DWORD* bytesWritten) {
    for (DWORD capacity = kInitialProcessIdCapacity;; capacity *= 2) {
        const DWORD bytes = capacity * sizeof(DWORD);
        *bytesWritten = 0;
        if (!fill(bytes, bytesWritten))
            return false;
        if (*bytesWritten != bytes)
            return true;
        if (capacity > MAXDWORD / 2 / sizeof(DWORD))
            return false;
    }
}
