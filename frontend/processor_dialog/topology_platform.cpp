#include "frontend/processor_dialog/topology_platform.h"

namespace {
using LogicalProcessorInformationFunction = BOOL(WINAPI*)(LOGICAL_PROCESSOR_RELATIONSHIP,
                                                          SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*,
                                                          DWORD*);
} // namespace

// Looked up at run time: the program also runs where kernel32 predates the function.
BOOL TopologyPlatform::LogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                                   DWORD* length) {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto function =
        reinterpret_cast<LogicalProcessorInformationFunction>(reinterpret_cast<void*>(
            kernel != nullptr ? ::GetProcAddress(kernel, "GetLogicalProcessorInformationEx")
                              : nullptr));
    if (function == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return function(RelationAll, buffer, length);
}
