#include "frontend/group_refusal_text.h"

#include <vector>

namespace {

std::string Processes(unsigned long count) {
    return std::to_string(count) + (count == 1 ? " process" : " processes");
}

// "0", "0 and 2", "0, 1 and 3".
std::string GroupList(const std::vector<int>& groups) {
    std::string text;
    for (size_t i = 0; i < groups.size(); ++i) {
        if (i > 0)
            text += i + 1 == groups.size() ? " and " : ", ";
        text += std::to_string(groups[i]);
    }
    return text;
}

std::string InOneGroupSentence(const GroupRefusals& refusals) {
    std::vector<int> groups;
    unsigned long count = 0;
    for (int g = 0; g < kMaxProcessorGroups; ++g) {
        if (refusals.inOneGroup[g] == 0)
            continue;
        groups.push_back(g);
        count += refusals.inOneGroup[g];
    }
    if (count == 0)
        return {};
    const char* why = ": a process cannot be moved to another processor group.";
    if (groups.size() == 1)
        return Processes(count) + (count == 1 ? " runs" : " run") + " only in processor group " +
               GroupList(groups) + (count == 1 ? " and was" : " and were") + " not moved" + why;
    return Processes(count) + " run only in their own processor group (groups " +
           GroupList(groups) + ") and were not moved" + why;
}

std::string PlacedThemselvesSentence(unsigned long count) {
    if (count == 0)
        return {};
    return Processes(count) +
           (count == 1 ? " placed its threads in several processor groups itself and was"
                       : " placed their threads in several processor groups themselves and were") +
           " not moved.";
}

std::string OthersLeftSentence(unsigned long count) {
    if (count == 0)
        return {};
    return (count == 1 ? "1 other process placed its threads in several processor groups itself "
                         "and keeps them: it may still run on the chosen processors."
                       : std::to_string(count) +
                             " other processes placed their threads in several processor groups "
                             "themselves and keep them: they may still run on the chosen "
                             "processors.");
}

} // namespace

std::string GroupRefusalText(const GroupRefusals& refusals) {
    std::string text;
    for (const std::string& sentence :
         {InOneGroupSentence(refusals), PlacedThemselvesSentence(refusals.placedThemselves),
          OthersLeftSentence(refusals.othersLeft)}) {
        if (sentence.empty())
            continue;
        if (!text.empty())
            text += "\r\n\r\n";
        text += sentence;
    }
    return text;
}
