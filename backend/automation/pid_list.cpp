#include "automation/pid_list.h"

#include "engine/private_heap.h"

#include <utility>

PidList::PidList(ULONG capacity) {
    // The count travels as an int to the engine.
    if (capacity == 0 || capacity > 0x7FFFFFFF / sizeof(unsigned long))
        return;
    ids_ = static_cast<unsigned long*>(PrivateHeapAlloc(capacity * sizeof(unsigned long)));
    if (ids_ != nullptr)
        capacity_ = capacity;
}

PidList::~PidList() {
    Free();
}

PidList::PidList(PidList&& other) noexcept
    : ids_(std::exchange(other.ids_, nullptr)), capacity_(std::exchange(other.capacity_, 0)),
      count_(std::exchange(other.count_, 0)) {}

PidList& PidList::operator=(PidList&& other) noexcept {
    if (this != &other) {
        Free();
        ids_ = std::exchange(other.ids_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        count_ = std::exchange(other.count_, 0);
    }
    return *this;
}

void PidList::Free() {
    PrivateHeapFree(ids_);
    ids_ = nullptr;
    capacity_ = 0;
    count_ = 0;
}
