// The text form of affinity masks in the list's "Affinity Mask" column.
#include "frontend/affinity_mask_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(FormatAffinityMask, WritesSingleProcessorsAndRunsOfTwoOrMore) {
    const struct {
        unsigned long mask;
        const char* text;
    } cases[] = {
        {0x0, ""},
        {0x1, "0"},
        {0x2, "1"},
        {0x80000000, "31"},
        {0x3, "0-1"},
        {0x5, "0,2"},
        {0xF, "0-3"},
        {0x2D, "0,2-3,5"},
        {0x6000000C, "2-3,29-30"},
        {0xC0000001, "0,30-31"},
        {0xFFFFFFFF, "0-31"},
        {0xAAAAAAAA, "1,3,5,7,9,11,13,15,17,19,21,23,25,27,29,31"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "mask 0x" << std::hex << test.mask);
        EXPECT_EQ(test.text, FormatAffinityMask(test.mask));
    }
}

// Processors need not be numbered 0 to N-1: bits at and above the count are written too.
TEST(FormatAffinityMask, WritesBitsAtAndAboveTheProcessorCount) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    const unsigned long n = info.dwNumberOfProcessors;
    ASSERT_GE(n, 1ul);
    ASSERT_LT(n, 31ul);
    const std::string last = std::to_string(n - 1);
    const std::string atN = std::to_string(n);
    const unsigned long present = (1ul << n) - 1;

    EXPECT_EQ(n == 1 ? "0" : "0-" + last, FormatAffinityMask(present));
    EXPECT_EQ(atN, FormatAffinityMask(1ul << n));
    EXPECT_EQ("0-" + atN, FormatAffinityMask(present | 1ul << n));
    EXPECT_EQ(atN + "-" + std::to_string(n + 1), FormatAffinityMask(3ul << n));
    EXPECT_EQ(atN + "-31", FormatAffinityMask(0xFFFFFFFFul << n));
}

// Numbers run on across the end of a group, and a group's maximum, not its active processors, sets
// where the next one starts.
TEST(PlacementText, NumbersRunAcrossGroupsFromEachGroupsMaximum) {
    const ProcessorGroup twoOf4[] = {{0, 4, 0xF}, {4, 4, 0xF}},
                         gapped[] = {{0, 8, 0xF}, {8, 4, 0xF}};
    ProcessPlacement spanning{PlacementKind::kSpanning, 0, ProcessorSet::InGroup(0, 0xC), false};
    spanning.processors.groups[1] = 0x5;
    EXPECT_EQ("2-4,6", PlacementText(spanning, ProcessorGroups::FromGroups(twoOf4, 2)));
    EXPECT_EQ("2-3,8,10", PlacementText(spanning, ProcessorGroups::FromGroups(gapped, 2)));
}
