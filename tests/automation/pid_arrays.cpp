#include "pid_arrays.h"

#include <cwchar>

Variant::Variant(LONG number) : Variant() {
    get()->vt = VT_I4;
    get()->lVal = number;
}

Variant::Variant(const wchar_t* text) : Variant() {
    get()->vt = VT_BSTR;
    get()->bstrVal = ::SysAllocString(text);
}

Variant::Variant(double number) : Variant() {
    get()->vt = VT_R8;
    get()->dblVal = number;
}

std::wstring DecimalText(unsigned long number) {
    return std::to_wstring(number);
}

UniqueSafeArray VariantArray(std::vector<Variant*> elements, LONG lowerBound) {
    SAFEARRAYBOUND bound = {static_cast<ULONG>(elements.size()), lowerBound};
    UniqueSafeArray array(::SafeArrayCreate(VT_VARIANT, 1, &bound));
    for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
        LONG index = lowerBound + i;
        ::SafeArrayPutElement(array.get(), &index, elements[i]->get());
    }
    return array;
}

UniqueSafeArray NumberArray(VARTYPE type, const std::vector<LONG>& numbers) {
    UniqueSafeArray array(::SafeArrayCreateVector(type, 0, static_cast<ULONG>(numbers.size())));
    for (LONG i = 0; i < static_cast<LONG>(numbers.size()); ++i) {
        Variant value(numbers[i]);
        ::VariantChangeType(value.get(), value.get(), 0, type);
        // Every numeric member of the variant's data union starts at the same address.
        ::SafeArrayPutElement(array.get(), &i, &value.get()->lVal);
    }
    return array;
}

VARIANT ArrayArgument(SAFEARRAY* array, VARTYPE type) {
    VARIANT argument;
    ::VariantInit(&argument);
    argument.vt = type;
    argument.parray = array;
    return argument;
}

ComPtr<IDispatch> ScriptArray::Make(std::vector<LONG> numbers, bool withLength) {
    return ComPtr<IDispatch>(new ScriptArray(std::move(numbers), withLength));
}

HRESULT ScriptArray::QueryInterface(REFIID iid, void** object) {
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ScriptArray::Release() {
    ULONG remaining = --references_;
    if (remaining == 0)
        delete this;
    return remaining;
}

HRESULT ScriptArray::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT ScriptArray::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT ScriptArray::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count != 1)
        return DISP_E_UNKNOWNNAME;
    if (withLength_ && std::wcscmp(names[0], L"length") == 0) {
        ids[0] = kLength;
        return S_OK;
    }
    for (size_t i = 0; i < numbers_.size(); ++i) {
        if (std::to_wstring(i) == names[0]) {
            ids[0] = kFirstElement + static_cast<DISPID>(i);
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT ScriptArray::Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                            EXCEPINFO*, UINT*) {
    if ((flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr)
        return DISP_E_MEMBERNOTFOUND;
    ::VariantInit(result);
    if (member == kLength && withLength_) {
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(numbers_.size());
        return S_OK;
    }
    size_t index = static_cast<size_t>(member - kFirstElement);
    if (member < kFirstElement || index >= numbers_.size())
        return DISP_E_MEMBERNOTFOUND;
    result->vt = VT_I4;
    result->lVal = numbers_[index];
    return S_OK;
}
