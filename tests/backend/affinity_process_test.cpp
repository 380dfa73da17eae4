// The exported engine of the built DLL on real processes.
#include "affinity.h"
#include "helper_processes.h"

#include <gtest/gtest.h>

TEST(GenerateAllProcessorsMask, ReportsTheActiveProcessorMask) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    EXPECT_EQ(static_cast<unsigned long>(info.dwActiveProcessorMask), GenerateAllProcessorsMask());
}
