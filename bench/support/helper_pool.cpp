#include "helper_pool.h"

#include "stopwatch.h"

#include <psapi.h>

#include <cstdio>

namespace {

bool ModuleListReadable(unsigned long processId) {
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    HMODULE module = nullptr;
    DWORD needed = 0;
    return process && ::EnumProcessModules(process.get(), &module, sizeof(module), &needed);
}

} // namespace

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

HelperPool::HelperPool() {
    HANDLE self = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &self,
                      SYNCHRONIZE, TRUE, 0);
    inheritableSelf_.reset(self);
}

HelperPool::~HelperPool() {
    Clear();
}

bool HelperPool::GrowTo(int count) {
    const std::string program = ProgramDirectory() + "bench_waiter.exe";
    char argument[32];
    std::snprintf(
        argument, sizeof(argument), "%llx",
        static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(inheritableSelf_.get())));
    const size_t first = ids_.size();
    while (size() < count) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + program + "\" " + argument;
        if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                              nullptr, nullptr, &startup, &info)) {
            std::fprintf(stderr, "cannot start %s, error %lu\n", program.c_str(), ::GetLastError());
            return false;
        }
        ::CloseHandle(info.hThread);
        processes_.emplace_back(info.hProcess);
        ids_.push_back(info.dwProcessId);
    }
    Stopwatch waited;
    for (size_t i = first; i < ids_.size(); ++i)
        while (!ModuleListReadable(ids_[i])) {
            if (waited.Seconds() > 60) {
                std::fprintf(stderr, "helper %lu never became readable\n", ids_[i]);
                return false;
            }
            ::Sleep(10);
        }
    return true;
}

void HelperPool::Clear() {
    for (UniqueHandle& process : processes_)
        ::TerminateProcess(process.get(), 0);
    for (UniqueHandle& process : processes_)
        ::WaitForSingleObject(process.get(), 5000);
    processes_.clear();
    ids_.clear();
}
