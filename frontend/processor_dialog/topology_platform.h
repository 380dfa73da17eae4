// The system call behind the processor topology. The topology reaches the system only through
// the current TopologyPlatform, so tests can stand in for what Wine cannot pretend: processors of
// several efficiency classes, and a system that cannot say.
#pragma once

#include "common/platform_seam.h"

#include <windows.h>

class TopologyPlatform {
  public:
    virtual ~TopologyPlatform() = default;

    // GetLogicalProcessorInformationEx with RelationAll: on entry *length is the room of buffer
    // in bytes; on success the bytes written, on ERROR_INSUFFICIENT_BUFFER the bytes needed.
    // Systems without the function fail with ERROR_CALL_NOT_IMPLEMENTED.
    virtual BOOL LogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                             DWORD* length);
};

inline TopologyPlatform& CurrentTopologyPlatform() {
    return PlatformSeam<TopologyPlatform>::Current();
}

// Puts a stand-in platform in place for the lifetime of the object.
using ScopedTopologyPlatform = PlatformSeam<TopologyPlatform>::Scoped;
