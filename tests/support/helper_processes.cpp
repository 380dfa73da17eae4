#include "helper_processes.h"

#include <gtest/gtest.h>

#include <cstdio>

std::string TestProgramDirectory() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

namespace {
// Wine answers ERROR_INTERNAL_ERROR when the new process ended during its start-up without an exit
// code, before it ran any code of its own (seen on a loaded machine): nothing of the test touched
// it, so it is started again, a few times at most, and each such end is told.
constexpr int kStartAttempts = 3;
} // namespace

HelperProcess::HelperProcess(const std::string& program) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + program + "\"";
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
        if (::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &startup, &info)) {
            error = ERROR_SUCCESS;
            break;
        }
        error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR)
            break;
        std::fprintf(stderr, "%s ended during its start-up (error 1359), start %d of %d\n",
                     program.c_str(), attempt, kStartAttempts);
    }
    if (error != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot start " << program << ", error " << error;
        return;
    }
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    pid_ = info.dwProcessId;
    // Wait until the process runs its own code, so that its module list can be read.
    ::WaitForInputIdle(info.hProcess, 5000);
}

HelperProcess::~HelperProcess() {
    if (process_) {
        ::TerminateProcess(process_.get(), 0);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

AffinityMask MaskOf(HANDLE process) {
    DWORD_PTR processMask = 0, systemMask = 0;
    if (!::GetProcessAffinityMask(process, &processMask, &systemMask))
        return 0;
    return processMask;
}

AffinityMask HelperProcess::mask() const {
    return MaskOf(process_.get());
}

bool HelperProcess::SetMask(AffinityMask mask) const {
    return ::SetProcessAffinityMask(process_.get(), mask) != FALSE;
}

std::vector<HelperProcess> StartHelpers(int count) {
    std::vector<HelperProcess> helpers;
    for (int i = 0; i < count; ++i)
        helpers.emplace_back();
    return helpers;
}

unsigned long EndedProcessId() {
    unsigned long pid = HelperProcess().pid();
    // Wine keeps an ended process openable for a moment after its last handle is closed.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE stale = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (stale == nullptr)
            break;
        ::CloseHandle(stale);
        ::Sleep(50);
    }
    return pid;
}
