#include "frontend/processor_dialog/topology_platform.h"

#include "engine/process_platform.h"

BOOL TopologyPlatform::LogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                                   DWORD* length) {
    DWORD lastError = ERROR_SUCCESS;
    const BOOL result = ::LogicalProcessorInformation(RelationAll, buffer, length, &lastError);
    ::SetLastError(lastError);
    return result;
}
