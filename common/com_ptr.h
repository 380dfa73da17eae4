// Move-only owner of one COM interface reference, released when the owner goes out of scope.
#pragma once

#include <unknwn.h>

#include <utility>

template <typename Interface> class ComPtr {
  public:
    ComPtr() = default;
    // Adopts a reference the caller already holds.
    explicit ComPtr(Interface* adopted) : pointer_(adopted) {}
    ~ComPtr() { reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // For out parameters: drops the current reference and lends the slot.
    Interface** put() {
        reset();
        return &pointer_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    Interface* release() { return std::exchange(pointer_, nullptr); }
    void reset(Interface* adopted = nullptr) {
        if (pointer_ != nullptr)
            pointer_->Release();
        pointer_ = adopted;
    }

    // Another interface of the same object, or an empty pointer with the failure in *result.
    template <typename Other> ComPtr<Other> As(HRESULT* result = nullptr) const {
        ComPtr<Other> other;
        HRESULT hr = pointer_ != nullptr
                         ? pointer_->QueryInterface(__uuidof(Other), other.put_void())
                         : E_POINTER;
        if (result != nullptr)
            *result = hr;
        return other;
    }

  private:
    Interface* pointer_ = nullptr;
};
