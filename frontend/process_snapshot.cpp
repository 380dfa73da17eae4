#include "process_snapshot.h"

#include "platform_handle.h"
#include "process_enumeration.h"
#include "process_file_name.h"
#include "snapshot_platform.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {
constexpr DWORD kPathCapacity = MAX_PATH;

std::vector<DWORD> EnumerateProcessIds(SnapshotPlatform& platform) {
    std::vector<DWORD> ids;
    DWORD written = 0;
    const bool enumerated = EnumerateWithDoubling(
        [&](DWORD bytes, DWORD* bytesWritten) {
            ids.assign(bytes / sizeof(DWORD), 0);
            return platform.EnumerateProcesses(ids.data(), bytes, bytesWritten) != FALSE;
        },
        &written);
    if (!enumerated)
        throw std::string("Error enumerating processes!");
    ids.resize(written / sizeof(DWORD));
    return ids;
}
} // namespace

void TakeProcessSnapshot(ProcessList& processes) {
    for (DWORD processId : EnumerateProcessIds(CurrentSnapshotPlatform())) {
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
    SnapshotPlatform& platform = CurrentSnapshotPlatform();
    const HANDLE handle =
        platform.OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, processId);
    if (!handle)
        throw std::string("Error opening process!");
    PlatformHandle<SnapshotPlatform> process(platform, handle);

    // The first module is the executable itself; the others are not needed.
    HMODULE executable = nullptr;
    DWORD bytesNeeded = 0;
    if (!platform.EnumerateProcessModules(process.get(), &executable, sizeof(executable),
                                          &bytesNeeded))
        throw std::string("Error enumerating process modules!");

    char path[kPathCapacity] = {};
    if (platform.ModuleFilePath(process.get(), executable, path, kPathCapacity) == 0)
        throw std::string("Error retrieving process filename!");
    std::string fileName = FileNameOfPath(std::string(path, ::strnlen(path, kPathCapacity)));

    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (!platform.GetProcessAffinityMask(process.get(), &processMask, &systemMask))
        throw std::string("Error retrieving process affinity!");

    entry.processId = processId;
    entry.affinityMask = processMask;
    entry.fileName = std::move(fileName);
}
