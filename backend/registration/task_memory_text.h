// A growing byte text in COM task memory, always followed by a terminating zero.
#pragma once

#include <windows.h>

#include <cstddef>

class TaskMemoryText {
  public:
    TaskMemoryText() = default;
    ~TaskMemoryText();
    TaskMemoryText(const TaskMemoryText&) = delete;
    TaskMemoryText& operator=(const TaskMemoryText&) = delete;

    // Reserves room for `bytes` bytes and the zero; E_OUTOFMEMORY when the allocator refuses.
    HRESULT Reserve(size_t bytes);
    // Room for `bytes` more bytes, doubling the capacity until they fit.
    HRESULT Grow(size_t bytes);
    HRESULT Append(const char* bytes, size_t count);
    // Marks `count` bytes written directly at End() (after Grow) as part of the text.
    void Commit(size_t count);

    const char* data() const { return data_ != nullptr ? data_ : ""; }
    char* End() { return data_ + length_; }
    size_t length() const { return length_; }

  private:
    char* data_ = nullptr;
    size_t length_ = 0;
    size_t capacity_ = 0; // bytes of text, the zero not counted
};
