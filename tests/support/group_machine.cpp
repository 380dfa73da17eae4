#include "group_machine.h"

std::string HexText(unsigned long long value) {
    char text[24];
    std::snprintf(text, sizeof(text), "%llx", value);
    return text;
}

std::string SetText(const ProcessorSet& set) {
    std::string text;
    for (int g = 0; g < kMaxProcessorGroups; ++g)
        if (set.groups[g] != 0)
            text += (text.empty() ? "" : " ") + std::to_string(g) + ":" + HexText(set.groups[g]);
    return text.empty() ? "none" : text;
}

const ProcessorSet kMovedOnto = ProcessorSet::InGroup(1, 0xFF00);
const MachineShape kWindows11 = {"Windows 11, two groups of 64", true, 64};
const MachineShape kWindows10 = {"Windows 10, two groups of 48", false, 48};

const std::vector<KindRow>& KindRows() {
    const DWORD_PTR all = ~DWORD_PTR{0};
    const DWORD_PTR all48 = static_cast<DWORD_PTR>(0xFFFFFFFFFFFFull);
    // Windows 10 starts each process in one group; Windows 11 lets every process span all groups
    // ("Processor Groups"). Threads placed in several groups by the process itself read mask 0.
    const auto inGroup = [](DWORD pid, USHORT g, DWORD_PTR mask) {
        return FakeProcess{pid, {g}, mask, {}};
    };
    const auto spans = [](DWORD pid, ProcessorSet cpuSets) {
        return FakeProcess{pid, {0, 1}, ~DWORD_PTR{0}, cpuSets};
    };
    const auto itself = [](DWORD pid) { return FakeProcess{pid, {0, 1}, 0, {}}; };
    const auto unopenable = [](DWORD pid) { return FakeProcess{pid, {}, 0, {}}; };
    // The reads of a process in one group and of one in several.
    const std::string one = "query[GetMask GetGroups]",
                      many = "query[GetMask GetGroups GetCpuSets]";
    const std::string clear = "limited[SetCpuSets none]", f64 = "ffffffffffffffff";
    const std::string othersSets = "limited[SetCpuSets 0:" + f64 + " 1:ffffffffffff00ff]";
    // Machine, process, script's reading, read, Reset, Move, Isolate of the others, Move refused.
    static const std::vector<KindRow> rows = {
        {&kWindows11, inGroup(10, 0, all), f64, one, "set[SetMask 0:" + f64 + "] " + clear, "",
         "set[SetMask 0:" + f64 + "]", "group 0 x1"},
        {&kWindows11, inGroup(11, 1, all), "-", one, "set[SetMask 1:" + f64 + "] " + clear,
         "set[SetMask 1:ff00]", "set[SetMask 1:ffffffffffff00ff]", ""},
        {&kWindows11, spans(12, {}), "-", many, clear, "limited[SetCpuSets 1:ff00]", othersSets,
         ""},
        {&kWindows11, spans(13, ProcessorSet::InGroup(0, 0xFF00)), "ff00", many, clear,
         "limited[SetCpuSets 1:ff00]", othersSets, ""},
        {&kWindows11, itself(14), "0", "query[GetMask]", "", "", "", "itself x1"},
        {&kWindows11, unopenable(16), "-", "query refused", "", "", "", ""},
        {&kWindows10, inGroup(20, 0, all48), "ffffffffffff", one, "set[SetMask 0:ffffffffffff]", "",
         "set[SetMask 0:ffffffffffff]", "group 0 x1"},
        {&kWindows10, inGroup(21, 1, all48), "-", one, "set[SetMask 1:ffffffffffff]",
         "set[SetMask 1:ff00]", "set[SetMask 1:ffffffff00ff]", ""},
        {&kWindows10, itself(22), "0", "query[GetMask]", "", "", "", "itself x1"},
        {&kWindows10, unopenable(23), "-", "query refused", "", "", "", ""},
    };
    return rows;
}

std::vector<KindRow> Populate(GroupMachine& machine, const MachineShape* shape) {
    std::vector<KindRow> rows;
    for (const KindRow& row : KindRows())
        if (row.machine == shape)
            rows.push_back(row), machine.processes[row.process.pid] = row.process;
    machine.Groups();
    machine.log.clear();
    return rows;
}
