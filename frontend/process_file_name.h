// The file name that the snapshot lists for a process, taken from its executable's path.
#pragma once

#include <windows.h>

#include <string>

// Everything after the last backslash or slash; without either, everything after a leading
// "X:"; else the whole path. The path is read in the given multi-byte code page, so the second
// byte of a double-byte character never counts as a separator.
std::string FileNameOfPath(const std::string& path, UINT codePage = CP_ACP);
