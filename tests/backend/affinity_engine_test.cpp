#include "affinity.h"
#include "affinity_platform.h"

#include <gtest/gtest.h>

TEST(MoveProcesses, CountZeroOpensNothing) { EXPECT_FALSE(MoveProcesses(0, nullptr, 1)); }
