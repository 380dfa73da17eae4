#include "helper_pool.h"

#include "stopwatch.h"

#include <psapi.h>

#include <cstdio>
#include <utility>

namespace {

bool ModuleListReadable(unsigned long processId) {
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    HMODULE module = nullptr;
    DWORD needed = 0;
    return process && ::EnumProcessModules(process.get(), &module, sizeof(module), &needed);
}

} // namespace

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
        StartedHelper started = StartHelper(program, argument, true);
        if (!started.process) {
            std::fprintf(stderr, "cannot start %s, error %lu\n", program.c_str(), started.error);
            return false;
        }
        processes_.push_back(std::move(started.process));
        ids_.push_back(started.pid);
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
        EndHelper(process.get());
    processes_.clear();
    ids_.clear();
}
