// The process snapshot on real helper processes, and over a stand-in platform for what real
// processes cannot produce.
#include "frontend/process_snapshot.h"

#include "helper_processes.h"
#include "engine/process_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
const ProcessEntry* FindEntry(const ProcessList& processes, unsigned long processId) {
    const ProcessEntry* found = nullptr;
    for (const ProcessEntry& entry : processes) {
        if (entry.processId == processId) {
            EXPECT_EQ(nullptr, found) << "process " << processId << " is listed twice";
            found = &entry;
        }
    }
    return found;
}

unsigned long ActiveProcessorMask() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return static_cast<unsigned long>(info.dwActiveProcessorMask);
}

unsigned long LowestBit(unsigned long mask) {
    return mask & (~mask + 1);
}

unsigned long HighestBit(unsigned long mask) {
    unsigned long bit = 0;
    for (unsigned long rest = mask; rest != 0; rest &= rest - 1)
        bit = LowestBit(rest);
    return bit;
}

// A copy of waiter.exe under a directory whose name holds a dot, removed again at the end.
class DottedDirectoryCopy {
  public:
    DottedDirectoryCopy()
        : directory_(ProgramDirectory() + "snapshot.dir"),
          program_(directory_ + "\\waiter.copy.exe") {
        ::CreateDirectoryA(directory_.c_str(), nullptr);
        copied_ = ::CopyFileA((ProgramDirectory() + "waiter.exe").c_str(), program_.c_str(),
                              FALSE) != FALSE;
    }
    ~DottedDirectoryCopy() {
        ::DeleteFileA(program_.c_str());
        ::RemoveDirectoryA(directory_.c_str());
    }
    bool copied() const { return copied_; }
    const std::string& program() const { return program_; }

  private:
    std::string directory_;
    std::string program_;
    bool copied_ = false;
};

// Failures of the module route: Open refuses the handle for query and memory read.
enum class Failure { None, Open, Modules, FileName, Affinity };

// How the process answers a handle for limited query and the question for its image path.
// NameNeverFits wants more room than any buffer has; a path longer than the buffer given wants
// more room too, as the system's call does.
enum class ImageRoute { Refused, Answers, NameFails, NameNeverFits };

struct FakeProcess {
    DWORD id;
    std::string path;
    DWORD_PTR mask;
    Failure failure;
    ImageRoute image = ImageRoute::Refused; // a system older than limited query
};

constexpr DWORD kModuleRouteAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

// A system whose processes are a list, with every call recorded.
class FakeSnapshotPlatform : public ProcessPlatform {
  public:
    std::vector<FakeProcess> processes;
    bool enumerationFails = false;
    int enumerationFailsFromCall = 0; // 0: every call fails when enumerationFails is set

    std::vector<DWORD> enumerationBytes;
    std::vector<std::string> events;
    std::vector<DWORD> openAccess;
    std::vector<DWORD> moduleBufferBytes;
    std::vector<DWORD> pathBufferSizes;
    std::vector<DWORD> imagePathSizes;
    int openedHandles = 0;
    std::vector<HANDLE> closedHandles;

    void AddProcesses(DWORD count) {
        for (DWORD i = 0; i < count; ++i)
            processes.push_back(
                {4 * (i + 1), "C:\\fake\\p" + std::to_string(i) + ".exe", 1, Failure::None});
    }

    BOOL EnumerateProcesses(DWORD* ids, DWORD bytes, DWORD* bytesReturned) override {
        enumerationBytes.push_back(bytes);
        events.push_back("enumerate");
        if (enumerationFails &&
            static_cast<int>(enumerationBytes.size()) > enumerationFailsFromCall)
            return FALSE;
        DWORD count = 0;
        for (; count < bytes / sizeof(DWORD) && count < processes.size(); ++count)
            ids[count] = processes[count].id;
        *bytesReturned = count * sizeof(DWORD);
        return TRUE;
    }

    HANDLE OpenProcess(DWORD access, DWORD processId) override {
        events.push_back("open " + std::to_string(processId));
        openAccess.push_back(access);
        const FakeProcess* process = Find(processId);
        const bool refused = access == PROCESS_QUERY_LIMITED_INFORMATION
                                 ? process && process->image == ImageRoute::Refused
                                 : process && process->failure == Failure::Open;
        if (!process || refused)
            return nullptr;
        ++openedHandles;
        return HandleOf(*process);
    }

    BOOL EnumerateProcessModules(HANDLE process, HMODULE* modules, DWORD bytes,
                                 DWORD* bytesNeeded) override {
        moduleBufferBytes.push_back(bytes);
        const FakeProcess* found = FromHandle(process);
        if (!found || found->failure == Failure::Modules)
            return FALSE;
        modules[0] = ModuleOf(*found);
        *bytesNeeded = 3 * sizeof(HMODULE); // more modules than asked for, as real processes have
        return TRUE;
    }

    DWORD ModuleFilePath(HANDLE process, HMODULE module, char* path, DWORD size) override {
        pathBufferSizes.push_back(size);
        const FakeProcess* found = FromHandle(process);
        if (!found || found->failure == Failure::FileName || module != ModuleOf(*found))
            return 0;
        lstrcpynA(path, found->path.c_str(), static_cast<int>(size));
        return static_cast<DWORD>(strlen(path));
    }

    BOOL ImageFilePath(HANDLE process, char* path, DWORD* size, DWORD* lastError) override {
        imagePathSizes.push_back(*size);
        const FakeProcess* found = FromHandle(process);
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        if (!found || found->image == ImageRoute::NameFails)
            *lastError = ERROR_ACCESS_DENIED;
        else if (found->image != ImageRoute::NameNeverFits && found->path.size() < *size)
            *lastError = ERROR_SUCCESS;
        if (*lastError != ERROR_SUCCESS)
            return FALSE;
        lstrcpynA(path, found->path.c_str(), static_cast<int>(*size));
        *size = static_cast<DWORD>(found->path.size());
        return TRUE;
    }

    BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask,
                                DWORD_PTR* systemMask) override {
        const FakeProcess* found = FromHandle(process);
        if (!found || found->failure == Failure::Affinity)
            return FALSE;
        *processMask = found->mask;
        *systemMask = 0xFFFFFFFF;
        return TRUE;
    }

    BOOL CloseHandle(HANDLE handle) override {
        closedHandles.push_back(handle);
        return TRUE;
    }

  private:
    const FakeProcess* Find(DWORD processId) const {
        for (const FakeProcess& process : processes) {
            if (process.id == processId)
                return &process;
        }
        return nullptr;
    }
    // Handles and modules that no real call would accept, so a call past the seam shows up.
    static HANDLE HandleOf(const FakeProcess& process) {
        return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7F000000 + process.id));
    }
    static HMODULE ModuleOf(const FakeProcess& process) {
        return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x10000000 + process.id));
    }
    const FakeProcess* FromHandle(HANDLE handle) const {
        return Find(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(handle) - 0x7F000000));
    }
};

std::vector<unsigned long> IdsOf(const ProcessList& processes) {
    std::vector<unsigned long> ids;
    for (const ProcessEntry& entry : processes)
        ids.push_back(entry.processId);
    return ids;
}

// The message that `call` throws, as the snapshot reports a failure, or "nothing thrown".
template <typename Call> std::string MessageThrownBy(Call&& call) {
    try {
        call();
    } catch (const std::string& thrown) {
        return thrown;
    }
    return "nothing thrown";
}

ProcessEntry SentinelEntry() {
    ProcessEntry entry;
    entry.processId = 0xDEADBEEF;
    entry.affinityMask = 0x5A5A5A5A;
    entry.fileName = "untouched";
    return entry;
}

void ExpectSentinel(const ProcessEntry& entry) {
    EXPECT_EQ(0xDEADBEEFul, entry.processId);
    EXPECT_EQ(0x5A5A5A5Aul, entry.affinityMask);
    EXPECT_EQ("untouched", entry.fileName);
}

// The real system with one route closed to the snapshot: every open for the refused access fails.
class OneRouteSystem : public ProcessPlatform {
  public:
    explicit OneRouteSystem(DWORD refusedAccess) : refusedAccess_(refusedAccess) {}
    int moduleRouteOpens = 0;

    HANDLE OpenProcess(DWORD access, DWORD processId) override {
        if (access == refusedAccess_)
            return nullptr;
        moduleRouteOpens += access == kModuleRouteAccess ? 1 : 0;
        return ProcessPlatform::OpenProcess(access, processId);
    }

  private:
    DWORD refusedAccess_;
};

ProcessList SnapshotThrough(ProcessPlatform& platform) {
    ScopedProcessPlatform scoped(platform);
    ProcessList processes;
    TakeProcessSnapshot(processes);
    return processes;
}

bool StillRunning(unsigned long processId) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    return process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}
} // namespace

TEST(TakeProcessSnapshot, ListsHelperProcessesWithTheirIdsNamesAndMasks) {
    // Neither is the mask the helpers inherit (all processors) on a multiprocessor machine.
    const unsigned long lowest = LowestBit(ActiveProcessorMask());
    const unsigned long highest = HighestBit(ActiveProcessorMask());
    HelperProcess first;
    HelperProcess second;
    ASSERT_TRUE(first.SetMask(lowest));
    ASSERT_TRUE(second.SetMask(highest));

    ProcessList processes;
    TakeProcessSnapshot(processes);

    const ProcessEntry* firstEntry = FindEntry(processes, first.pid());
    const ProcessEntry* secondEntry = FindEntry(processes, second.pid());
    ASSERT_NE(nullptr, firstEntry);
    ASSERT_NE(nullptr, secondEntry);
    EXPECT_EQ("waiter.exe", firstEntry->fileName);
    EXPECT_EQ(lowest, firstEntry->affinityMask);
    EXPECT_EQ("waiter.exe", secondEntry->fileName);
    EXPECT_EQ(highest, secondEntry->affinityMask);
}

TEST(TakeProcessSnapshot, NamesAProgramInADottedDirectoryByItsLastComponent) {
    DottedDirectoryCopy copy;
    ASSERT_TRUE(copy.copied()) << "cannot copy waiter.exe to " << copy.program();
    {
        HelperProcess helper(copy.program());
        ASSERT_NE(0ul, helper.pid());

        ProcessList processes;
        TakeProcessSnapshot(processes);

        const ProcessEntry* entry = FindEntry(processes, helper.pid());
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ("waiter.copy.exe", entry->fileName);
    }
}

// Every row that the first module gives, the image name gives alike: same PID, name and mask.
// The snapshot asks no process here for its first module, so it reads them all by image name.
TEST(TakeProcessSnapshot, ListsTheSameRowsByImageNameAsByFirstModule) {
    HelperProcess first;
    HelperProcess second;
    ASSERT_TRUE(first.SetMask(LowestBit(ActiveProcessorMask())));
    ASSERT_TRUE(second.SetMask(HighestBit(ActiveProcessorMask())));
    DottedDirectoryCopy copy;
    ASSERT_TRUE(copy.copied()) << "cannot copy waiter.exe to " << copy.program();
    HelperProcess dotted(copy.program());

    OneRouteSystem moduleRoute(PROCESS_QUERY_LIMITED_INFORMATION);
    OneRouteSystem bothRoutes(0);
    const ProcessList byModule = SnapshotThrough(moduleRoute);
    const ProcessList byImage = SnapshotThrough(bothRoutes);
    EXPECT_EQ(0, bothRoutes.moduleRouteOpens) << "every process here tells its image name";

    for (unsigned long helper : {first.pid(), second.pid(), dotted.pid()})
        ASSERT_NE(nullptr, FindEntry(byModule, helper)) << "helper " << helper;
    for (const ProcessEntry& entry : byModule) {
        SCOPED_TRACE(entry.fileName);
        const ProcessEntry* found = FindEntry(byImage, entry.processId);
        if (found == nullptr && !StillRunning(entry.processId))
            continue; // ended between the snapshots
        ASSERT_NE(nullptr, found);
        EXPECT_EQ(entry.fileName, found->fileName);
        EXPECT_EQ(entry.affinityMask, found->affinityMask);
    }
}

TEST(TakeProcessSnapshot, AppendsToWhatTheListAlreadyHolds) {
    ProcessList processes{SentinelEntry()};
    TakeProcessSnapshot(processes);
    ASSERT_GE(processes.size(), 2u);
    ExpectSentinel(processes.front());
    EXPECT_NE(nullptr, FindEntry(processes, ::GetCurrentProcessId()));
}

// A process that ends between the enumeration and its reading is left out.
TEST(ReadProcessEntry, ReportsAnEndedProcessAsNotOpenedAndLeavesTheEntry) {
    const unsigned long ended = EndedProcessId();
    ProcessEntry entry = SentinelEntry();
    const std::string message = MessageThrownBy([&] { ReadProcessEntry(entry, ended); });
    EXPECT_EQ("Error opening process!", message);
    ExpectSentinel(entry);
}

// The idle process's identifier never opens, so it is never listed.
TEST(ReadProcessEntry, ReportsIdentifierZeroAsNotOpenedAndLeavesTheEntry) {
    ProcessEntry entry = SentinelEntry();
    const std::string message = MessageThrownBy([&] { ReadProcessEntry(entry, 0); });
    EXPECT_EQ("Error opening process!", message);
    ExpectSentinel(entry);
}

TEST(ReadProcessEntry, ReadsOneModuleAndTheFullPathOfAnOpenedProcess) {
    FakeSnapshotPlatform platform;
    platform.processes.push_back({42, "C:\\Program Files\\Tools\\tool.exe", 0x6, Failure::None});
    ScopedProcessPlatform scoped(platform);

    ProcessEntry entry = SentinelEntry();
    ReadProcessEntry(entry, 42);

    EXPECT_EQ(42ul, entry.processId);
    EXPECT_EQ(0x6ul, entry.affinityMask);
    EXPECT_EQ("tool.exe", entry.fileName);
    EXPECT_EQ((std::vector<DWORD>{PROCESS_QUERY_LIMITED_INFORMATION, kModuleRouteAccess}),
              platform.openAccess);
    ASSERT_EQ(1u, platform.moduleBufferBytes.size());
    EXPECT_EQ(sizeof(HMODULE), platform.moduleBufferBytes[0]);
    ASSERT_EQ(1u, platform.pathBufferSizes.size());
    EXPECT_EQ(260u, platform.pathBufferSizes[0]);
    EXPECT_EQ(1, platform.openedHandles);
    EXPECT_EQ(1u, platform.closedHandles.size());
}

TEST(ReadProcessEntry, ThrowsEachFailuresMessageClosesTheProcessAndLeavesTheEntry) {
    const struct {
        Failure failure;
        const char* message;
    } cases[] = {
        {Failure::Open, "Error opening process!"},
        {Failure::Modules, "Error enumerating process modules!"},
        {Failure::FileName, "Error retrieving process filename!"},
        {Failure::Affinity, "Error retrieving process affinity!"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.message);
        FakeSnapshotPlatform platform;
        platform.processes.push_back({42, "C:\\x.exe", 1, test.failure});
        ScopedProcessPlatform scoped(platform);

        ProcessEntry entry = SentinelEntry();
        const std::string message = MessageThrownBy([&] { ReadProcessEntry(entry, 42); });
        EXPECT_EQ(test.message, message);
        ExpectSentinel(entry);
        EXPECT_EQ(static_cast<size_t>(platform.openedHandles), platform.closedHandles.size());
    }
}

// Each way a process may answer: which route reads it, and what the entry gets.
TEST(ReadProcessEntry, AsksTheImageNameFirstAndReadsTheFirstModuleOnlyWhereItMust) {
    const std::string longPath = "C:\\" + std::string(300, 'd') + "\\long.exe";
    const std::vector<DWORD> bothOpens{PROCESS_QUERY_LIMITED_INFORMATION, kModuleRouteAccess};
    const std::vector<DWORD> imageOpen{PROCESS_QUERY_LIMITED_INFORMATION};
    const std::vector<DWORD> notAsked;
    const std::vector<DWORD> askedOnce{MAX_PATH};
    const std::vector<DWORD> askedAgain{MAX_PATH, 32768};
    const struct {
        const char* what;
        Failure failure;
        ImageRoute image;
        std::string path;
        const char* result; // the file name read, or the message thrown
        std::vector<DWORD> opens;
        std::vector<DWORD> imagePathSizes;
    } cases[] = {
        {"a 64-bit process seen from the 32-bit build (partial copy of its module list)",
         Failure::Modules, ImageRoute::Answers, "C:\\w\\svc64.exe", "svc64.exe", imageOpen,
         askedOnce},
        {"a process that denies memory read", Failure::Open, ImageRoute::Answers,
         "C:\\w\\protected.exe", "protected.exe", imageOpen, askedOnce},
        {"an image path longer than MAX_PATH", Failure::None, ImageRoute::Answers, longPath,
         "long.exe", imageOpen, askedAgain},
        {"no limited query", Failure::None, ImageRoute::Refused, "C:\\w\\old.exe", "old.exe",
         bothOpens, notAsked},
        {"an image name that cannot be asked", Failure::None, ImageRoute::NameFails, "C:\\w\\a.exe",
         "a.exe", bothOpens, askedOnce},
        {"an image name that never fits", Failure::None, ImageRoute::NameNeverFits, "C:\\w\\b.exe",
         "b.exe", bothOpens, askedAgain},
        {"both routes refused", Failure::Open, ImageRoute::NameFails, "C:\\w\\c.exe",
         "Error opening process!", bothOpens, askedOnce},
        {"a mask refused to limited query", Failure::Affinity, ImageRoute::Answers, "C:\\w\\d.exe",
         "Error retrieving process affinity!", imageOpen, askedOnce},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        FakeSnapshotPlatform platform;
        platform.processes.push_back({42, test.path, 0x6, test.failure, test.image});
        ScopedProcessPlatform scoped(platform);

        ProcessEntry entry = SentinelEntry();
        const std::string message = MessageThrownBy([&] { ReadProcessEntry(entry, 42); });
        if (message == "nothing thrown") {
            EXPECT_EQ(42ul, entry.processId);
            EXPECT_EQ(0x6ul, entry.affinityMask);
            EXPECT_EQ(test.result, entry.fileName);
        } else {
            EXPECT_EQ(test.result, message);
            ExpectSentinel(entry);
        }
        EXPECT_EQ(test.opens, platform.openAccess);
        EXPECT_EQ(test.imagePathSizes, platform.imagePathSizes);
        EXPECT_EQ(static_cast<size_t>(platform.openedHandles), platform.closedHandles.size());
    }
}

TEST(TakeProcessSnapshot, DropsOnlyTheProcessesThatFailToBeRead) {
    FakeSnapshotPlatform platform;
    platform.processes = {
        {4, "C:\\a.exe", 1, Failure::None},      {8, "C:\\b.exe", 1, Failure::Open},
        {12, "C:\\c.exe", 2, Failure::None},     {16, "C:\\d.exe", 1, Failure::Modules},
        {20, "C:\\e.exe", 1, Failure::FileName}, {24, "C:\\f.exe", 1, Failure::Affinity},
        {28, "C:\\g.exe", 3, Failure::None},
    };
    ScopedProcessPlatform scoped(platform);

    ProcessList processes;
    TakeProcessSnapshot(processes);

    EXPECT_EQ((std::vector<unsigned long>{4, 12, 28}), IdsOf(processes));
    ASSERT_EQ(3u, processes.size());
    EXPECT_EQ("c.exe", std::next(processes.begin())->fileName);
    EXPECT_EQ(2ul, std::next(processes.begin())->affinityMask);
    EXPECT_EQ(14u, platform.openAccess.size()) << "every process is asked once by each route";
    EXPECT_EQ(6, platform.openedHandles);
    EXPECT_EQ(6u, platform.closedHandles.size());
}

TEST(TakeProcessSnapshot, KeepsTheEnumerationOrderWhateverTheNames) {
    FakeSnapshotPlatform platform;
    platform.processes = {
        {30, "C:\\c.exe", 1, Failure::None},
        {10, "C:\\a.exe", 1, Failure::None},
        {20, "C:\\b.exe", 1, Failure::None},
    };
    ScopedProcessPlatform scoped(platform);

    ProcessList processes;
    TakeProcessSnapshot(processes);

    EXPECT_EQ((std::vector<unsigned long>{30, 10, 20}), IdsOf(processes));
}

TEST(TakeProcessSnapshot, EnumeratesOnceWhenTheBufferHasRoomToSpare) {
    FakeSnapshotPlatform platform;
    platform.AddProcesses(255);
    ScopedProcessPlatform scoped(platform);

    ProcessList processes;
    TakeProcessSnapshot(processes);

    EXPECT_EQ((std::vector<DWORD>{1024}), platform.enumerationBytes);
    EXPECT_EQ(255u, processes.size());
}

TEST(TakeProcessSnapshot, EnumeratesAgainWithTwiceTheRoomBeforeReadingWhenExactly256) {
    FakeSnapshotPlatform platform;
    platform.AddProcesses(256);
    ScopedProcessPlatform scoped(platform);

    ProcessList processes;
    TakeProcessSnapshot(processes);

    EXPECT_EQ((std::vector<DWORD>{1024, 2048}), platform.enumerationBytes);
    ASSERT_GE(platform.events.size(), 2u);
    EXPECT_EQ("enumerate", platform.events[0]);
    EXPECT_EQ("enumerate", platform.events[1]);
    EXPECT_EQ(256u, processes.size());
    EXPECT_EQ(512u, platform.openAccess.size()) << "each process is opened once by each route";
}

TEST(TakeProcessSnapshot, KeepsDoublingUntilTheListFits) {
    FakeSnapshotPlatform platform;
    platform.AddProcesses(600);
    ScopedProcessPlatform scoped(platform);

    ProcessList processes;
    TakeProcessSnapshot(processes);

    EXPECT_EQ((std::vector<DWORD>{1024, 2048, 4096}), platform.enumerationBytes);
    ASSERT_EQ(600u, processes.size());
    EXPECT_EQ(2400ul, processes.back().processId);
}

TEST(TakeProcessSnapshot, ThrowsWhenTheEnumerationFailsAndAppendsNothing) {
    FakeSnapshotPlatform platform;
    platform.AddProcesses(3);
    platform.enumerationFails = true;
    ScopedProcessPlatform scoped(platform);

    ProcessList processes{SentinelEntry()};
    const std::string message = MessageThrownBy([&] { TakeProcessSnapshot(processes); });

    EXPECT_EQ("Error enumerating processes!", message);
    ASSERT_EQ(1u, processes.size());
    ExpectSentinel(processes.front());
    EXPECT_TRUE(platform.openAccess.empty());
}

TEST(TakeProcessSnapshot, ThrowsWhenTheLargerEnumerationFailsAndAppendsNothing) {
    FakeSnapshotPlatform platform;
    platform.AddProcesses(256);
    platform.enumerationFails = true;
    platform.enumerationFailsFromCall = 1; // the first call fills the buffer, the second fails
    ScopedProcessPlatform scoped(platform);

    ProcessList processes;
    const std::string message = MessageThrownBy([&] { TakeProcessSnapshot(processes); });

    EXPECT_EQ("Error enumerating processes!", message);
    EXPECT_TRUE(processes.empty());
    EXPECT_EQ(2u, platform.enumerationBytes.size());
    EXPECT_TRUE(platform.openAccess.empty());
}

// Only message failures mean "leave this process out"; anything else is a fault to pass on.
TEST(TakeProcessSnapshot, PassesOnFailuresThatAreNotMessages) {
    class ThrowingPlatform : public FakeSnapshotPlatform {
        HANDLE OpenProcess(DWORD, DWORD) override { throw 7; }
    } platform;
    platform.AddProcesses(2);
    ScopedProcessPlatform scoped(platform);

    ProcessList processes;
    int thrown = 0;
    try {
        TakeProcessSnapshot(processes);
    } catch (int value) {
        thrown = value;
    }
    EXPECT_EQ(7, thrown);
    EXPECT_TRUE(processes.empty());
}
