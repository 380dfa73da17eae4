// The processor count is asked of the system once per run. This program holds only this test,
// so nothing has filled the count before the stand-in is in place.
#include "process_snapshot.h"

#include "snapshot_platform.h"

#include <gtest/gtest.h>

namespace {
class CountingPlatform : public SnapshotPlatform {
  public:
    int asked = 0;
    DWORD NumberOfProcessors() override {
        ++asked;
        return 6;
    }
};
} // namespace

TEST(GetProcessorCount, AsksTheSystemOnceAndKeepsTheCount) {
    CountingPlatform platform;
    ScopedSnapshotPlatform scoped(platform);

    EXPECT_EQ(6ul, GetProcessorCount());
    EXPECT_EQ(6ul, GetProcessorCount());
    EXPECT_EQ(6ul, GetProcessorCount());
    EXPECT_EQ(1, platform.asked);
}
