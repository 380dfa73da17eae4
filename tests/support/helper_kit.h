// Starting and ending the helper processes of the tests and the benchmarks: the one place that
// creates and ends them. Tests wrap it in HelperProcess (helper_processes.h), the benchmarks in
// HelperPool (bench/support/helper_pool.h).
#pragma once

#include "common/unique_handle.h"

#include <windows.h>

#include <string>

// The directory of the running program, with a trailing backslash.
std::string ProgramDirectory();

struct StartedHelper {
    UniqueHandle process; // empty when the program could not be started
    unsigned long pid = 0;
    DWORD error = ERROR_SUCCESS;
};

// Starts `program` with `arguments` after its quoted name; `inheritHandles` hands it the
// inheritable handles of the caller.
StartedHelper StartHelper(const std::string& program, const std::string& arguments = "",
                          bool inheritHandles = false);

// Ends the process and waits up to five seconds for it to be gone.
void EndHelper(HANDLE process);
