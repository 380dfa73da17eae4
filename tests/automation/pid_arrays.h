// PIDArray arguments in the shapes that clients and script engines pass.
#pragma once

#include "common/com_ptr.h"
#include "common/ole_owners.h"

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

// A variant holding a number or a text, for arguments and elements.
class Variant : public UniqueVariant {
  public:
    Variant() = default;
    explicit Variant(LONG number);
    explicit Variant(const wchar_t* text);
    explicit Variant(double number);
};

std::wstring DecimalText(unsigned long number);

// A one-dimensional array of VT_VARIANT elements from `lowerBound` on.
UniqueSafeArray VariantArray(std::vector<Variant*> elements, LONG lowerBound = 0);
// A one-dimensional array of the given element type holding the numbers.
UniqueSafeArray NumberArray(VARTYPE type, const std::vector<LONG>& numbers);

// The argument itself, referring to (not owning) the array.
VARIANT ArrayArgument(SAFEARRAY* array, VARTYPE type = VT_ARRAY | VT_VARIANT);

// An object that reads like a JScript array: "length" and the members "0", "1", ...
class ScriptArray final : public IDispatch {
  public:
    // Without a length it answers no "length" member.
    static ComPtr<IDispatch> Make(std::vector<LONG> numbers, bool withLength = true);

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO*, UINT*) override;

  private:
    ScriptArray(std::vector<LONG> numbers, bool withLength)
        : numbers_(std::move(numbers)), withLength_(withLength) {}

    static constexpr DISPID kLength = 100;
    static constexpr DISPID kFirstElement = 1000;
    std::vector<LONG> numbers_;
    bool withLength_;
    ULONG references_ = 1;
};
