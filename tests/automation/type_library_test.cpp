// The type library linked into the back end, read back as automation clients read it.
#include "backend_server.h"
#include "common/ole_owners.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text) {
    if (text == nullptr)
        return "(null)";
    char buffer[256] = "";
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

struct Documentation {
    std::string name;
    std::string doc;
    DWORD helpContext = 0xDEADBEEF;
    std::string helpFile;
};

Documentation DocumentationOf(HRESULT (*read)(void*, BSTR*, BSTR*, DWORD*, BSTR*), void* source) {
    UniqueBstr name, doc, helpFile;
    Documentation result;
    EXPECT_EQ(S_OK, read(source, name.put(), doc.put(), &result.helpContext, helpFile.put()));
    result.name = Narrow(name.get());
    result.doc = Narrow(doc.get());
    result.helpFile = Narrow(helpFile.get());
    return result;
}

Documentation LibraryDocumentation(ITypeLib* library, INT index) {
    struct Source {
        ITypeLib* library;
        INT index;
    } source{library, index};
    return DocumentationOf(
        [](void* s, BSTR* name, BSTR* doc, DWORD* context, BSTR* file) {
            auto* source = static_cast<Source*>(s);
            return source->library->GetDocumentation(source->index, name, doc, context, file);
        },
        &source);
}

Documentation MemberDocumentation(ITypeInfo* info, MEMBERID member) {
    struct Source {
        ITypeInfo* info;
        MEMBERID member;
    } source{info, member};
    return DocumentationOf(
        [](void* s, BSTR* name, BSTR* doc, DWORD* context, BSTR* file) {
            auto* source = static_cast<Source*>(s);
            return source->info->GetDocumentation(source->member, name, doc, context, file);
        },
        &source);
}

UniqueTypeAttr TypeAttrOf(ITypeInfo* info) {
    UniqueTypeAttr attr(info);
    EXPECT_EQ(S_OK, info->GetTypeAttr(attr.put()));
    return attr;
}

UniqueFuncDesc FuncDescOf(ITypeInfo* info, UINT index) {
    UniqueFuncDesc desc(info);
    EXPECT_EQ(S_OK, info->GetFuncDesc(index, desc.put())) << "function " << index;
    return desc;
}

// A parameter as the vtable view describes it.
struct Parameter {
    std::string name;
    VARTYPE type;    // VT_PTR for "pointer to long"
    VARTYPE pointee; // the pointed-to type for VT_PTR, else VT_EMPTY
    USHORT flags;
};

struct Method {
    MEMBERID id;
    std::string name;
    std::vector<Parameter> parameters;
};

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kOutRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

const std::vector<Method>& ExpectedMethods() {
    static const std::vector<Method> methods = {
        {1,
         "GetProcessAffinity",
         {{"pid", VT_I4, VT_EMPTY, kIn}, {"pAffinity", VT_PTR, VT_I4, kOutRetval}}},
        {2,
         "SetProcessAffinity",
         {{"pid", VT_I4, VT_EMPTY, kIn}, {"Affinity", VT_I4, VT_EMPTY, kIn}}},
        {3, "EnableServiceManipulation", {}},
        {4, "GenerateAllProcessorsMask", {{"pMask", VT_PTR, VT_I4, kOutRetval}}},
        {5,
         "MoveProcesses",
         {{"PIDArray", VT_VARIANT, VT_EMPTY, kIn}, {"mask", VT_I4, VT_EMPTY, kIn}}},
        {6, "MoveAllProcesses", {{"mask", VT_I4, VT_EMPTY, kIn}}},
        {7,
         "IsolateProcesses",
         {{"PIDArray", VT_VARIANT, VT_EMPTY, kIn}, {"mask", VT_I4, VT_EMPTY, kIn}}},
    };
    return methods;
}

std::vector<std::string> NamesOf(ITypeInfo* info, MEMBERID member) {
    BSTR names[8] = {};
    UINT count = 0;
    EXPECT_EQ(S_OK, info->GetNames(member, names, 8, &count));
    std::vector<std::string> result;
    for (UINT i = 0; i < count; ++i)
        result.push_back(Narrow(UniqueBstr(names[i]).get()));
    return result;
}

// The library under test: the DLL's own resource, or, when TANDREL_TYPELIB_FILE names one, a
// library file written for the other pointer size (the i686 build cannot run here, but its
// library can be read).
std::wstring LibraryPath(const BackendServer& server) {
    wchar_t file[MAX_PATH] = L"";
    if (::GetEnvironmentVariableW(L"TANDREL_TYPELIB_FILE", file, MAX_PATH) != 0)
        return file;
    return server.Path();
}

SYSKIND ExpectedSystemKind() {
    char kind[16] = "";
    if (::GetEnvironmentVariableA("TANDREL_TYPELIB_SYSKIND", kind, sizeof kind) != 0)
        return lstrcmpA(kind, "win32") == 0 ? SYS_WIN32 : SYS_WIN64;
    return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}

class LinkedTypeLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, server_.module());
        std::wstring path = LibraryPath(server_);
        ASSERT_EQ(S_OK, ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library_.put()));
    }

    ComPtr<ITypeInfo> TypeInfoAt(UINT index) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(S_OK, library_->GetTypeInfo(index, info.put()));
        return info;
    }

    ComPtr<ITypeInfo> Implemented(ITypeInfo* info, UINT index) {
        HREFTYPE reference = 0;
        EXPECT_EQ(S_OK, info->GetRefTypeOfImplType(index, &reference));
        ComPtr<ITypeInfo> implemented;
        EXPECT_EQ(S_OK, info->GetRefTypeInfo(reference, implemented.put()));
        return implemented;
    }

    ComPtr<ITypeInfo> InterfaceVtableView() {
        ComPtr<ITypeInfo> dual = TypeInfoAt(1);
        HREFTYPE reference = 0;
        EXPECT_EQ(S_OK, dual->GetRefTypeOfImplType(-1, &reference));
        ComPtr<ITypeInfo> vtable;
        EXPECT_EQ(S_OK, dual->GetRefTypeInfo(reference, vtable.put()));
        return vtable;
    }

    BackendServer server_;
    ComPtr<ITypeLib> library_;
};

TEST_F(LinkedTypeLibrary, DescribesTheLibrary) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library_->GetLibAttr(&attr));
    EXPECT_TRUE(::IsEqualGUID(LIBID_TandrelPro, attr->guid));
    EXPECT_EQ(0u, attr->lcid);
    EXPECT_EQ(ExpectedSystemKind(), attr->syskind);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    // The loader marks every library that it read from a file; the library itself has no flags.
    EXPECT_EQ(0, attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);
    library_->ReleaseTLibAttr(attr);

    Documentation doc = LibraryDocumentation(library_.get(), -1);
    EXPECT_EQ("TandrelPro", doc.name);
    EXPECT_EQ("Tandrel Pro Back End", doc.doc);
    EXPECT_EQ(0u, doc.helpContext);
    EXPECT_EQ("(null)", doc.helpFile);
    EXPECT_EQ(2u, library_->GetTypeInfoCount());
}

TEST_F(LinkedTypeLibrary, DescribesTheCreatableClassFirst) {
    ComPtr<ITypeInfo> coclass = TypeInfoAt(0);
    ASSERT_TRUE(coclass);
    UniqueTypeAttr attr = TypeAttrOf(coclass.get());
    ASSERT_TRUE(static_cast<bool>(attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_TRUE(::IsEqualGUID(CLSID_AffinityManager, attr->guid));
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attr->wTypeFlags);
    EXPECT_EQ(0, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    Documentation doc = LibraryDocumentation(library_.get(), 0);
    EXPECT_EQ("AffinityManager", doc.name);
    EXPECT_EQ("AffinityManager Class", doc.doc);

    ASSERT_EQ(2, attr->cImplTypes);
    ComPtr<ITypeInfo> first = Implemented(coclass.get(), 0);
    ComPtr<ITypeInfo> second = Implemented(coclass.get(), 1);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(::IsEqualGUID(IID_IAffinityManager, TypeAttrOf(first.get())->guid));
    EXPECT_TRUE(::IsEqualGUID(IID_IDispatch, TypeAttrOf(second.get())->guid));
    EXPECT_EQ("IDispatch", MemberDocumentation(second.get(), MEMBERID_NIL).name);
    INT flags = -1;
    EXPECT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    flags = -1;
    EXPECT_EQ(S_OK, coclass->GetImplTypeFlags(1, &flags));
    EXPECT_EQ(0, flags);
}

TEST_F(LinkedTypeLibrary, DescribesTheDualInterface) {
    ComPtr<ITypeInfo> dual = TypeInfoAt(1);
    ASSERT_TRUE(dual);
    UniqueTypeAttr attr = TypeAttrOf(dual.get());
    ASSERT_TRUE(static_cast<bool>(attr));
    // Clients see a dual interface through its dispatch view; the loader reports
    // FOLEAUTOMATION on the vtable view only.
    EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
    EXPECT_TRUE(::IsEqualGUID(IID_IAffinityManager, attr->guid));
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE, attr->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(0, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    // The dispatch view lists the methods of IUnknown and IDispatch before its own seven.
    EXPECT_EQ(3 + 4 + 7, attr->cFuncs);
    Documentation doc = LibraryDocumentation(library_.get(), 1);
    EXPECT_EQ("IAffinityManager", doc.name);
    EXPECT_EQ("IAffinityManager Interface", doc.doc);

    ComPtr<ITypeInfo> vtable = InterfaceVtableView();
    ASSERT_TRUE(vtable);
    UniqueTypeAttr vtableAttr = TypeAttrOf(vtable.get());
    ASSERT_TRUE(static_cast<bool>(vtableAttr));
    EXPECT_EQ(TKIND_INTERFACE, vtableAttr->typekind);
    EXPECT_TRUE(::IsEqualGUID(IID_IAffinityManager, vtableAttr->guid));
    EXPECT_EQ(0x1140, vtableAttr->wTypeFlags);
    EXPECT_EQ(7, vtableAttr->cFuncs);
    EXPECT_EQ(0, vtableAttr->cVars);
    ASSERT_EQ(1, vtableAttr->cImplTypes);
    ComPtr<ITypeInfo> base = Implemented(vtable.get(), 0);
    ASSERT_TRUE(base);
    EXPECT_TRUE(::IsEqualGUID(IID_IDispatch, TypeAttrOf(base.get())->guid));
}

TEST_F(LinkedTypeLibrary, DescribesTheSevenMethodsInVtableOrder) {
    ComPtr<ITypeInfo> vtable = InterfaceVtableView();
    ASSERT_TRUE(vtable);
    const std::vector<Method>& methods = ExpectedMethods();
    for (UINT index = 0; index < methods.size(); ++index) {
        const Method& method = methods[index];
        SCOPED_TRACE(method.name);
        UniqueFuncDesc func = FuncDescOf(vtable.get(), index);
        ASSERT_TRUE(static_cast<bool>(func));
        EXPECT_EQ(method.id, func->memid);
        EXPECT_EQ(FUNC_PUREVIRTUAL, func->funckind);
        EXPECT_EQ(INVOKE_FUNC, func->invkind);
        EXPECT_EQ(CC_STDCALL, func->callconv);
        EXPECT_EQ(0, func->wFuncFlags);
        EXPECT_EQ(0, func->cParamsOpt);
        EXPECT_EQ(VT_HRESULT, func->elemdescFunc.tdesc.vt);
        // After the three methods of IUnknown and the four of IDispatch.
        EXPECT_EQ(static_cast<SHORT>((7 + index) * sizeof(void*)), func->oVft);
        ASSERT_EQ(static_cast<SHORT>(method.parameters.size()), func->cParams);

        std::vector<std::string> names = NamesOf(vtable.get(), method.id);
        ASSERT_EQ(method.parameters.size() + 1, names.size());
        EXPECT_EQ(method.name, names[0]);
        for (size_t p = 0; p < method.parameters.size(); ++p) {
            const Parameter& expected = method.parameters[p];
            SCOPED_TRACE(expected.name);
            const ELEMDESC& actual = func->lprgelemdescParam[p];
            EXPECT_EQ(expected.name, names[p + 1]);
            EXPECT_EQ(expected.type, actual.tdesc.vt);
            if (expected.type == VT_PTR && actual.tdesc.vt == VT_PTR) {
                EXPECT_EQ(expected.pointee, actual.tdesc.lptdesc->vt);
            }
            EXPECT_EQ(expected.flags, actual.paramdesc.wParamFlags);
        }
        Documentation doc = MemberDocumentation(vtable.get(), method.id);
        EXPECT_EQ(method.name, doc.name);
        EXPECT_EQ("(null)", doc.doc);
    }
}

TEST_F(LinkedTypeLibrary, DispatchViewOffersTheSevenDispatchIdentifiers) {
    ComPtr<ITypeInfo> dual = TypeInfoAt(1);
    ASSERT_TRUE(dual);
    ComPtr<ITypeInfo2> view = dual.As<ITypeInfo2>();
    ASSERT_TRUE(view);
    for (const Method& method : ExpectedMethods()) {
        SCOPED_TRACE(method.name);
        UINT index = 0;
        ASSERT_EQ(S_OK, view->GetFuncIndexOfMemId(method.id, INVOKE_FUNC, &index));
        UniqueFuncDesc func = FuncDescOf(dual.get(), index);
        ASSERT_TRUE(static_cast<bool>(func));
        EXPECT_EQ(FUNC_DISPATCH, func->funckind);
        EXPECT_EQ(INVOKE_FUNC, func->invkind);
        EXPECT_EQ(method.name, NamesOf(dual.get(), method.id).at(0));
    }
}

} // namespace
