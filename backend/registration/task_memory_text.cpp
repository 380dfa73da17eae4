#include "registration/task_memory_text.h"

#include <objbase.h>

#include <cstring>

TaskMemoryText::~TaskMemoryText() {
    ::CoTaskMemFree(data_);
}

HRESULT TaskMemoryText::Reserve(size_t bytes) {
    if (bytes <= capacity_ && data_ != nullptr)
        return S_OK;
    void* grown = ::CoTaskMemRealloc(data_, bytes + 1);
    if (grown == nullptr)
        return E_OUTOFMEMORY;
    data_ = static_cast<char*>(grown);
    capacity_ = bytes;
    data_[length_] = '\0';
    return S_OK;
}

HRESULT TaskMemoryText::Grow(size_t bytes) {
    size_t capacity = capacity_ > 0 ? capacity_ : 16;
    while (capacity - length_ < bytes) {
        if (capacity > static_cast<size_t>(-1) / 4)
            return E_OUTOFMEMORY;
        capacity *= 2;
    }
    return Reserve(capacity);
}

HRESULT TaskMemoryText::Append(const char* bytes, size_t count) {
    HRESULT result = Grow(count);
    if (FAILED(result))
        return result;
    std::memcpy(data_ + length_, bytes, count);
    Commit(count);
    return S_OK;
}

void TaskMemoryText::Commit(size_t count) {
    length_ += count;
    data_[length_] = '\0';
}
