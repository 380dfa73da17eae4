#include "process_snapshot.h"
#include "snapshot_platform.h"

namespace {
// The count cannot change while the program runs, so the system is asked only once.
unsigned long processorCount = 0;
bool processorCountKnown = false;
} // namespace

unsigned long GetProcessorCount() {
    if (!processorCountKnown) {
        processorCount = CurrentSnapshotPlatform().NumberOfProcessors();
        processorCountKnown = true;
    }
    return processorCount;
}
