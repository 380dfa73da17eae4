// PidListFromVariant: the identifier list behind a PIDArray argument.
//
// Script engines pass arrays in several wrappings (by reference, by reference to a dynamic array,
// as a JScript array object); each is resolved to one array descriptor before anything is read,
// and the element path follows the element type that the descriptor records, so that no shape
// of argument makes us read memory the argument does not own.
#include "automation/pid_list.h"

#include "automation/diagnostic_box.h"

#include "common/ole_owners.h"

#include <cstdio>
#include <cstdint>
#include <string>

namespace {

constexpr char kArrayOfVariantsText[] = "array of variants";
constexpr char kArrayOfVariantsCaption[] = "bleh";
constexpr char kShapeFormat[] = "cDims: %d, cElements: %d";
constexpr char kAddressFormat[] = "parray: %s, pparray: %s";
constexpr char kOneDimensionText[] = "1 dimension, >=1 elements";
constexpr char kDetailCaption[] = "blah";
constexpr int kBoxTextSize = 256;

HRESULT GetProperty(IDispatch* object, const wchar_t* name, VARIANT* value) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value,
                          nullptr, nullptr);
}

// A JScript array arrives as its object: "length" and the members "0", "1", ... become a
// one-dimensional array of variants. Members that cannot be read (holes) stay empty, as the
// script itself reads them (undefined), and so convert like an Empty element.
UniqueSafeArray ArrayFromScriptObject(IDispatch* object) {
    if (object == nullptr)
        return UniqueSafeArray();
    UniqueVariant length;
    if (FAILED(GetProperty(object, L"length", length.get())) ||
        FAILED(::VariantChangeType(length.get(), length.get(), 0, VT_I4)) || length.get()->lVal < 0)
        return UniqueSafeArray();
    UniqueSafeArray array(::SafeArrayCreateVector(VT_VARIANT, 0, length.get()->lVal));
    if (!array)
        return array;
    for (LONG index = 0; index < length.get()->lVal; ++index) {
        wchar_t name[16];
        std::swprintf(name, sizeof name / sizeof name[0], L"%ld", index);
        UniqueVariant element;
        if (SUCCEEDED(GetProperty(object, name, element.get())))
            ::SafeArrayPutElement(array.get(), &index, element.get());
    }
    return array;
}

// The descriptor that the argument stands for, resolving references as VariantCopyInd would;
// null when it holds none. `made` keeps an array built from a script object alive.
SAFEARRAY* ResolveArray(const VARIANT& argument, UniqueSafeArray* made) {
    const VARIANT* value = &argument;
    if (value->vt == (VT_BYREF | VT_VARIANT)) {
        value = value->pvarVal;
        if (value == nullptr || value->vt == (VT_BYREF | VT_VARIANT))
            return nullptr;
    }
    IDispatch* script = nullptr;
    if (value->vt == VT_DISPATCH)
        script = value->pdispVal;
    else if (value->vt == (VT_BYREF | VT_DISPATCH) && value->ppdispVal != nullptr)
        script = *value->ppdispVal;
    if (script != nullptr) {
        *made = ArrayFromScriptObject(script);
        return made->get();
    }
    if ((value->vt & VT_ARRAY) == 0)
        return nullptr;
    if ((value->vt & VT_BYREF) != 0)
        return value->pparray != nullptr ? *value->pparray : nullptr;
    return value->parray;
}

void TakeVariantElements(SAFEARRAY* array, ULONG count, PidList& list) {
    // Indices from 0 whatever the lower bound: the ones outside it are refused and passed over.
    for (ULONG index = 0; index < count; ++index) {
        UniqueVariant element;
        LONG position = static_cast<LONG>(index);
        if (FAILED(::SafeArrayGetElement(array, &position, element.get())))
            continue;
        if (element.get()->vt == VT_I4 ||
            SUCCEEDED(::VariantChangeType(element.get(), element.get(), 0, VT_I4)))
            list.Append(static_cast<unsigned long>(element.get()->lVal));
    }
}

void CopyLongElements(SAFEARRAY* array, ULONG count, PidList& list) {
    if (::SafeArrayGetElemsize(array) != sizeof(LONG))
        return;
    SafeArrayData data(array);
    if (!data)
        return;
    ::CopyMemory(list.FillAll(), data.get(), count * sizeof(LONG));
}

// Element types that are fetched one by one into a variant and converted to VT_I4.
ULONG ConvertibleElementSize(VARTYPE type) {
    switch (type) {
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_INT:
    case VT_UINT:
    case VT_R4:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    default:
        return 0;
    }
}

void ConvertElements(SAFEARRAY* array, VARTYPE type, ULONG count, PidList& list) {
    ULONG size = ConvertibleElementSize(type);
    if (size == 0 || ::SafeArrayGetElemsize(array) != size)
        return;
    for (ULONG index = 0; index < count; ++index) {
        UniqueVariant element;
        LONG position = static_cast<LONG>(index);
        // The value lands in the variant's data field, which is larger than any of these.
        if (FAILED(::SafeArrayGetElement(array, &position, &element.get()->llVal)))
            continue;
        element.get()->vt = type;
        if (SUCCEEDED(::VariantChangeType(element.get(), element.get(), 0, VT_I4)))
            list.Append(static_cast<unsigned long>(element.get()->lVal));
    }
}

std::string AddressText(const void* address) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld",
                  static_cast<long long>(reinterpret_cast<std::intptr_t>(address)));
    return text;
}

} // namespace

PidList PidListFromVariant(const VARIANT& argument) {
    UniqueSafeArray made;
    SAFEARRAY* array = ResolveArray(argument, &made);
    if (array == nullptr)
        return PidList();

    char text[kBoxTextSize];
    // Every array that resolves gets this box, whatever its element type.
    ShowDiagnostic(kArrayOfVariantsText, kArrayOfVariantsCaption);
    ::wsprintfA(text, kShapeFormat, static_cast<int>(array->cDims),
                static_cast<int>(array->rgsabound[0].cElements));
    ShowDiagnostic(text, kDetailCaption);
    std::string address = AddressText(array);
    ::wsprintfA(text, kAddressFormat, address.c_str(), address.c_str());
    ShowDiagnostic(text, kDetailCaption);

    ULONG count = array->rgsabound[0].cElements;
    if (array->cDims != 1 || count == 0)
        return PidList();
    ShowDiagnostic(kOneDimensionText, kDetailCaption);

    PidList list(count);
    if (!list.allocated())
        return list;
    VARTYPE elementType = VT_EMPTY;
    if (SUCCEEDED(::SafeArrayGetVartype(array, &elementType))) {
        if (elementType == VT_VARIANT)
            TakeVariantElements(array, count, list);
        else if (elementType == VT_I4 || elementType == VT_UI4)
            CopyLongElements(array, count, list);
        else if (elementType != VT_I1)
            ConvertElements(array, elementType, count, list);
    }
    if (list.count() == 0)
        return PidList();
    return list;
}
