// Move-only owners of what OLE Automation hands out: strings, variants, safe arrays and their
// data, and the blocks a type description lends.
#pragma once

#include "common/unique_handle.h"

#include <windows.h>
#include <oleauto.h>

#include <utility>

struct BstrTraits {
    static BSTR Invalid() { return nullptr; }
    static bool IsValid(BSTR text) { return text != nullptr; }
    static void Close(BSTR text) { ::SysFreeString(text); }
};
using UniqueBstr = UniqueResource<BSTR, BstrTraits>;

struct SafeArrayTraits {
    static SAFEARRAY* Invalid() { return nullptr; }
    static bool IsValid(SAFEARRAY* array) { return array != nullptr; }
    static void Close(SAFEARRAY* array) { ::SafeArrayDestroy(array); }
};
using UniqueSafeArray = UniqueResource<SAFEARRAY*, SafeArrayTraits>;

// A VARIANT, empty from the start and cleared (releasing what it holds) when the owner goes.
class UniqueVariant {
  public:
    UniqueVariant() { ::VariantInit(&value_); }
    ~UniqueVariant() { ::VariantClear(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : value_(other.value_) {
        ::VariantInit(&other.value_);
    }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&value_);
            value_ = other.value_;
            ::VariantInit(&other.value_);
        }
        return *this;
    }

    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    const VARIANT& operator*() const { return value_; }

  private:
    VARIANT value_;
};

// The data of a safe array, locked for direct access while the owner lives. Empty (false) when
// the array refused the access.
class SafeArrayData {
  public:
    explicit SafeArrayData(SAFEARRAY* array) : array_(array) {
        if (FAILED(::SafeArrayAccessData(array, &data_))) {
            array_ = nullptr;
            data_ = nullptr;
        }
    }
    ~SafeArrayData() {
        if (array_ != nullptr)
            ::SafeArrayUnaccessData(array_);
    }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;

    void* get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

  private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

// A block that a type description lends (TYPEATTR, FUNCDESC), given back to that description
// through `Release` when the owner goes. The description must outlive the owner.
template <typename Block, auto Release> class TypeInfoBlock {
  public:
    explicit TypeInfoBlock(ITypeInfo* info) : info_(info) {}
    ~TypeInfoBlock() { reset(); }
    TypeInfoBlock(const TypeInfoBlock&) = delete;
    TypeInfoBlock& operator=(const TypeInfoBlock&) = delete;
    TypeInfoBlock(TypeInfoBlock&& other) noexcept
        : info_(other.info_), block_(std::exchange(other.block_, nullptr)) {}

    // For the description's Get call: gives back the block held and lends the slot.
    Block** put() {
        reset();
        return &block_;
    }
    Block* get() const { return block_; }
    Block* operator->() const { return block_; }
    explicit operator bool() const { return block_ != nullptr; }
    void reset() {
        if (block_ != nullptr)
            (info_->*Release)(std::exchange(block_, nullptr));
    }

  private:
    ITypeInfo* info_;
    Block* block_ = nullptr;
};
using UniqueTypeAttr = TypeInfoBlock<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using UniqueFuncDesc = TypeInfoBlock<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;
