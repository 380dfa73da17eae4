#include "frontend/process_snapshot.h"

#include "engine/process_ids.h"
#include "engine/process_platform.h"
#include "frontend/process_file_name.h"

#include <cstring>
#include <utility>

namespace {
constexpr DWORD kPathCapacity = MAX_PATH;
// The longest path the system has, in characters, with its terminating null.
constexpr DWORD kLongestPathCapacity = 32768;

struct Processors {
    AffinityMask mask = 0;
    std::shared_ptr<const ProcessPlacement> placement;
};

// The process's own mask (the system mask that comes with it is not kept) and, on a machine of
// several groups, its groups and CPU sets, through the same handle.
Processors ProcessProcessors(ProcessPlatform& platform, HANDLE process) {
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (!platform.GetProcessAffinityMask(process, &processMask, &systemMask))
        throw std::string("Error retrieving process affinity!");
    if (!platform.Groups().several())
        return {processMask, nullptr};
    auto placement = std::make_shared<ProcessPlacement>();
    if (!ReadProcessPlacement(platform, process, processMask, placement.get()))
        throw std::string("Error retrieving process affinity!");
    return {processMask, std::move(placement)};
}

void FillEntry(ProcessEntry& entry, DWORD processId, const Processors& processors,
               std::string fileName) {
    entry.processId = processId;
    entry.affinityMask = processors.mask;
    entry.placement = processors.placement;
    entry.fileName = std::move(fileName);
}

// The image's path as the system keeps it, without reading the process's memory. Empty when the
// system cannot tell it. A path longer than MAX_PATH is asked once more with room for the longest.
std::string ImagePath(ProcessPlatform& platform, HANDLE process) {
    for (DWORD capacity : {kPathCapacity, kLongestPathCapacity}) {
        std::string path(capacity, '\0');
        DWORD length = capacity;
        DWORD lastError = ERROR_SUCCESS;
        if (platform.ImageFilePath(process, path.data(), &length, &lastError)) {
            path.resize(::strnlen(path.data(), length < capacity ? length : capacity));
            return path;
        }
        if (lastError != ERROR_INSUFFICIENT_BUFFER)
            break;
    }
    return {};
}

// One question to the system per process, also for processes whose memory may not be read (a
// 64-bit process seen from the 32-bit build, a protected process). False, with the entry
// untouched, when the process does not open for limited query or its image path cannot be asked.
bool ReadByImageName(ProcessPlatform& platform, ProcessEntry& entry, DWORD processId) {
    ProcessHandle process(platform,
                          platform.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, processId));
    if (!process)
        return false;
    const std::string path = ImagePath(platform, process.get());
    if (path.empty())
        return false;
    // The mask needs no more than limited query, so a refusal here would be refused to the
    // module route as well.
    FillEntry(entry, processId, ProcessProcessors(platform, process.get()), FileNameOfPath(path));
    return true;
}

// The route for a process that does not open for limited query or cannot tell its image path
// (systems older than limited query): the first module, which is the executable itself, read
// from the process's memory.
void ReadByFirstModule(ProcessPlatform& platform, ProcessEntry& entry, DWORD processId) {
    const HANDLE handle =
        platform.OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, processId);
    if (!handle)
        throw std::string("Error opening process!");
    ProcessHandle process(platform, handle);

    HMODULE executable = nullptr;
    DWORD bytesNeeded = 0;
    if (!platform.EnumerateProcessModules(process.get(), &executable, sizeof(executable),
                                          &bytesNeeded))
        throw std::string("Error enumerating process modules!");

    char path[kPathCapacity] = {};
    if (platform.ModuleFilePath(process.get(), executable, path, kPathCapacity) == 0)
        throw std::string("Error retrieving process filename!");
    std::string fileName = FileNameOfPath(std::string(path, ::strnlen(path, kPathCapacity)));

    FillEntry(entry, processId, ProcessProcessors(platform, process.get()), std::move(fileName));
}
} // namespace

void TakeProcessSnapshot(ProcessList& processes) {
    ProcessIdList ids(CurrentProcessPlatform());
    if (!ids.Enumerate())
        throw std::string("Error enumerating processes!");
    for (int i = 0; i < ids.count(); ++i) {
        const DWORD processId = ids.ids()[i];
        ProcessEntry entry;
        try {
            ReadProcessEntry(entry, processId);
        } catch (const std::string&) {
            continue; // a process we may not read, or one that has ended meanwhile
        }
        processes.push_back(std::move(entry));
    }
}

void ReadProcessEntry(ProcessEntry& entry, unsigned long processId) {
    ProcessPlatform& platform = CurrentProcessPlatform();
    if (!ReadByImageName(platform, entry, processId))
        ReadByFirstModule(platform, entry, processId);
}
