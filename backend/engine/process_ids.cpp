#include "engine/process_ids.h"

#include "common/process_enumeration.h"

bool ProcessIdList::Enumerate() {
    DWORD written = 0;
    const bool enumerated = EnumerateWithDoubling(
        [this](DWORD bytes, DWORD* bytesWritten) {
            platform_.Free(ids_);
            ids_ = static_cast<DWORD*>(platform_.Allocate(bytes));
            return ids_ != nullptr && platform_.EnumerateProcesses(ids_, bytes, bytesWritten);
        },
        &written);
    count_ = enumerated ? static_cast<int>(written / sizeof(DWORD)) : 0;
    return enumerated;
}
