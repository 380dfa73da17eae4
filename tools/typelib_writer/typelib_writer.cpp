// Build-time tool: rewrites a type library through the platform's creation interfaces, for a
// chosen system kind, and gives every class IDispatch as a second implemented interface.
//
//   typelib_writer.exe INPUT.tlb OUTPUT.tlb win32|win64
//
// widl compiles the interface description but crashes on a class that lists IDispatch beside
// its default interface, so it writes the library without it and this tool copies every item
// over and adds that one entry. Runs under Wine as an x86_64 program for both targets.
#include <windows.h>
#include <oleauto.h>

#include "common/com_ptr.h"
#include "common/ole_owners.h"
#include "common/scope_guard.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct Failure {
    HRESULT result;
    std::string what;
};

void Check(HRESULT hr, const std::string& what) {
    if (FAILED(hr))
        throw Failure{hr, what};
}

std::wstring Widen(const char* text) {
    int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    return wide;
}

std::string Narrow(const UniqueBstr& text) {
    char buffer[512] = "";
    if (text)
        ::WideCharToMultiByte(CP_ACP, 0, text.get(), -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

// Attribute blocks of a type description, given back when done.
UniqueTypeAttr TypeAttrOf(ITypeInfo* info) {
    UniqueTypeAttr attr(info);
    Check(info->GetTypeAttr(attr.put()), "GetTypeAttr");
    return attr;
}

UniqueFuncDesc FuncDescOf(ITypeInfo* info, UINT index) {
    UniqueFuncDesc desc(info);
    Check(info->GetFuncDesc(index, desc.put()), "GetFuncDesc");
    return desc;
}

bool RefersToUserType(const TYPEDESC& type) {
    if (type.vt == VT_USERDEFINED)
        return true;
    if (type.vt == VT_PTR || type.vt == VT_SAFEARRAY)
        return RefersToUserType(*type.lptdesc);
    return false;
}

// A dual interface reads back as its dispatch view; its vtable view is the one to write.
ComPtr<ITypeInfo> WritableView(ITypeInfo* info) {
    UniqueTypeAttr attr = TypeAttrOf(info);
    if (attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0) {
        HREFTYPE vtableView = 0;
        Check(info->GetRefTypeOfImplType(-1, &vtableView), "GetRefTypeOfImplType(-1)");
        ComPtr<ITypeInfo> view;
        Check(info->GetRefTypeInfo(vtableView, view.put()), "GetRefTypeInfo of the vtable view");
        return view;
    }
    info->AddRef();
    return ComPtr<ITypeInfo>(info);
}

class LibraryCopy {
  public:
    LibraryCopy(ITypeLib* source, ICreateTypeLib2* target, SHORT targetPointerSize)
        : source_(source), target_(target), targetPointerSize_(targetPointerSize) {}

    void Run() {
        CopyLibraryAttributes();
        UINT count = source_->GetTypeInfoCount();
        // Every description exists before any is filled, so references inside the library
        // (the class to its interface) can point forward.
        for (UINT index = 0; index < count; ++index)
            CreateDescription(index);
        for (UINT index = 0; index < count; ++index)
            FillDescription(index);
        Check(target_->SaveAllChanges(), "SaveAllChanges");
    }

    // Vtable size of each written interface, by type description index.
    const std::map<UINT, SHORT>& vtableSizes() const { return vtableSizes_; }

  private:
    struct Description {
        ComPtr<ITypeInfo> source;
        ComPtr<ICreateTypeInfo2> target;
    };

    void CopyLibraryAttributes() {
        TLIBATTR* attr = nullptr;
        Check(source_->GetLibAttr(&attr), "GetLibAttr");
        TLIBATTR copy = *attr;
        source_->ReleaseTLibAttr(attr);
        UniqueBstr name, doc, helpFile;
        DWORD helpContext = 0;
        Check(source_->GetDocumentation(-1, name.put(), doc.put(), &helpContext, helpFile.put()),
              "GetDocumentation of the library");
        Check(target_->SetGuid(copy.guid), "SetGuid of the library");
        Check(target_->SetVersion(copy.wMajorVerNum, copy.wMinorVerNum), "SetVersion");
        Check(target_->SetLcid(copy.lcid), "SetLcid");
        // The loader adds FHASDISKIMAGE to any library read from a file; it is not content.
        Check(target_->SetLibFlags(copy.wLibFlags & ~LIBFLAG_FHASDISKIMAGE), "SetLibFlags");
        Check(target_->SetName(name.get()), "SetName of the library");
        if (doc.get() != nullptr)
            Check(target_->SetDocString(doc.get()), "SetDocString of the library");
        if (helpFile.get() != nullptr)
            Check(target_->SetHelpFileName(helpFile.get()), "SetHelpFileName");
        Check(target_->SetHelpContext(helpContext), "SetHelpContext of the library");
    }

    void CreateDescription(UINT index) {
        ComPtr<ITypeInfo> original;
        Check(source_->GetTypeInfo(index, original.put()), "GetTypeInfo");
        Description description{WritableView(original.get()), {}};
        UniqueTypeAttr attr = TypeAttrOf(description.source.get());
        UniqueBstr name;
        Check(source_->GetDocumentation(index, name.put(), nullptr, nullptr, nullptr),
              "GetDocumentation");
        ComPtr<ICreateTypeInfo> created;
        Check(target_->CreateTypeInfo(name.get(), attr->typekind, created.put()),
              "CreateTypeInfo " + Narrow(name));
        description.target = created.As<ICreateTypeInfo2>();
        if (!description.target)
            throw Failure{E_NOINTERFACE, "ICreateTypeInfo2 of " + Narrow(name)};
        descriptions_.push_back(std::move(description));
    }

    // The written description that stands for a source description of this library, or the
    // source description itself when it lives in another library (stdole2's IDispatch).
    ComPtr<ITypeInfo> Counterpart(ITypeInfo* referenced) {
        ComPtr<ITypeLib> library;
        UINT index = 0;
        Check(referenced->GetContainingTypeLib(library.put(), &index), "GetContainingTypeLib");
        if (library.get() == source_)
            return descriptions_.at(index).target.As<ITypeInfo>();
        referenced->AddRef();
        return ComPtr<ITypeInfo>(referenced);
    }

    HREFTYPE Reference(ICreateTypeInfo2* target, ITypeInfo* referenced) {
        ComPtr<ITypeInfo> counterpart = Counterpart(referenced);
        HREFTYPE reference = 0;
        Check(target->AddRefTypeInfo(counterpart.get(), &reference), "AddRefTypeInfo");
        return reference;
    }

    void FillDescription(UINT index) {
        ITypeInfo* source = descriptions_[index].source.get();
        ICreateTypeInfo2* target = descriptions_[index].target.get();
        UniqueTypeAttr attr = TypeAttrOf(source);
        UniqueBstr name, doc;
        DWORD helpContext = 0;
        Check(source_->GetDocumentation(index, name.put(), doc.put(), &helpContext, nullptr),
              "GetDocumentation");
        Check(target->SetGuid(attr->guid), "SetGuid " + Narrow(name));
        Check(target->SetVersion(attr->wMajorVerNum, attr->wMinorVerNum), "SetVersion");
        if (doc.get() != nullptr)
            Check(target->SetDocString(doc.get()), "SetDocString " + Narrow(name));
        Check(target->SetHelpContext(helpContext), "SetHelpContext");
        if (attr->cVars != 0)
            throw Failure{E_NOTIMPL, Narrow(name) + " has variables, which are not copied"};

        for (UINT implIndex = 0; implIndex < attr->cImplTypes; ++implIndex) {
            HREFTYPE sourceReference = 0;
            Check(source->GetRefTypeOfImplType(implIndex, &sourceReference),
                  "GetRefTypeOfImplType");
            ComPtr<ITypeInfo> implemented;
            Check(source->GetRefTypeInfo(sourceReference, implemented.put()), "GetRefTypeInfo");
            Check(target->AddImplType(implIndex, Reference(target, implemented.get())),
                  "AddImplType " + Narrow(name));
            INT flags = 0;
            Check(source->GetImplTypeFlags(implIndex, &flags), "GetImplTypeFlags");
            if (attr->typekind == TKIND_COCLASS)
                Check(target->SetImplTypeFlags(implIndex, flags), "SetImplTypeFlags");
        }
        if (attr->typekind == TKIND_COCLASS)
            AddDispatch(target, attr->cImplTypes);

        SHORT lastSlot = -1;
        for (UINT funcIndex = 0; funcIndex < attr->cFuncs; ++funcIndex)
            lastSlot = std::max(lastSlot, CopyFunction(source, target, funcIndex));
        if (attr->typekind == TKIND_INTERFACE && lastSlot >= 0)
            vtableSizes_[index] = static_cast<SHORT>((lastSlot + 1) * targetPointerSize_);

        Check(target->SetTypeFlags(attr->wTypeFlags), "SetTypeFlags " + Narrow(name));
        Check(target->LayOut(), "LayOut " + Narrow(name));
    }

    void AddDispatch(ICreateTypeInfo2* target, UINT implIndex) {
        ComPtr<ITypeLib> stdole;
        Check(::LoadTypeLib(L"stdole2.tlb", stdole.put()), "LoadTypeLib stdole2.tlb");
        ComPtr<ITypeInfo> dispatch;
        Check(stdole->GetTypeInfoOfGuid(IID_IDispatch, dispatch.put()), "IDispatch in stdole2");
        HREFTYPE reference = 0;
        Check(target->AddRefTypeInfo(dispatch.get(), &reference), "AddRefTypeInfo IDispatch");
        Check(target->AddImplType(implIndex, reference), "AddImplType IDispatch");
        Check(target->SetImplTypeFlags(implIndex, 0), "SetImplTypeFlags IDispatch");
    }

    // Copies one function; returns its vtable slot.
    SHORT CopyFunction(ITypeInfo* source, ICreateTypeInfo2* target, UINT funcIndex) {
        UniqueFuncDesc desc = FuncDescOf(source, funcIndex);
        FUNCDESC* func = desc.get();
        if (RefersToUserType(func->elemdescFunc.tdesc))
            throw Failure{E_NOTIMPL, "a user-defined result type is not copied"};
        for (SHORT param = 0; param < func->cParams; ++param)
            if (RefersToUserType(func->lprgelemdescParam[param].tdesc))
                throw Failure{E_NOTIMPL, "a user-defined parameter type is not copied"};
        // The loader gave vtable offsets in this program's pointer size; the written library
        // counts in the target's.
        FUNCDESC written = *func;
        written.oVft = static_cast<SHORT>(func->oVft / SHORT{sizeof(void*)} * targetPointerSize_);
        Check(target->AddFuncDesc(funcIndex, &written), "AddFuncDesc");

        // The names go to the writer as one array, so no owner per name: they are freed together.
        std::vector<BSTR> names(func->cParams + 1, nullptr);
        ScopeGuard freeNames([&names] {
            for (BSTR name : names)
                ::SysFreeString(name);
        });
        UINT nameCount = 0;
        Check(source->GetNames(func->memid, names.data(), names.size(), &nameCount), "GetNames");
        Check(target->SetFuncAndParamNames(funcIndex, names.data(), nameCount),
              "SetFuncAndParamNames");

        UniqueBstr doc;
        DWORD helpContext = 0;
        Check(source->GetDocumentation(func->memid, nullptr, doc.put(), &helpContext, nullptr),
              "GetDocumentation of a function");
        if (doc.get() != nullptr)
            Check(target->SetFuncDocString(funcIndex, doc.get()), "SetFuncDocString");
        if (helpContext != 0)
            Check(target->SetFuncHelpContext(funcIndex, helpContext), "SetFuncHelpContext");
        return static_cast<SHORT>(func->oVft / SHORT{sizeof(void*)});
    }

    ITypeLib* source_;
    ICreateTypeLib2* target_;
    SHORT targetPointerSize_;
    std::vector<Description> descriptions_;
    std::map<UINT, SHORT> vtableSizes_;
};

// The platform's writer sizes an interface's vtable as its base's size in this program's pointer
// size plus its own functions in the target's, so a SYS_WIN32 library written from an x86_64
// program claims too many slots. The size is a 16-bit field of each type description's entry
// in the "MSFT" file; this puts the right one there.
void CorrectVtableSizes(const char* path, const std::map<UINT, SHORT>& sizes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    auto read32 = [&](std::streamoff at) {
        std::int32_t value = 0;
        file.seekg(at);
        file.read(reinterpret_cast<char*>(&value), sizeof value);
        return value;
    };
    constexpr std::streamoff kVarFlags = 0x14, kTypeInfoCount = 0x20, kHeaderSize = 0x54;
    constexpr std::int32_t kHasHelpDll = 0x100;
    constexpr std::streamoff kVtableSizeInEntry = 0x4E;
    std::int32_t count = read32(kTypeInfoCount);
    std::streamoff entryOffsets = kHeaderSize + ((read32(kVarFlags) & kHasHelpDll) ? 4 : 0);
    // The segment directory follows the entry offsets; its first segment holds the entries.
    std::int32_t entries = read32(entryOffsets + 4 * static_cast<std::streamoff>(count));
    for (const auto& [index, size] : sizes) {
        if (static_cast<std::int32_t>(index) >= count)
            throw Failure{E_UNEXPECTED, "type description index beyond the file's table"};
        std::int32_t entry = read32(entryOffsets + 4 * static_cast<std::streamoff>(index));
        file.seekp(entries + entry + kVtableSizeInEntry);
        std::int16_t value = size;
        file.write(reinterpret_cast<const char*>(&value), sizeof value);
    }
    if (!file)
        throw Failure{E_FAIL, std::string("correcting the vtable sizes in ") + path};
}

int Run(const char* input, const char* output, const char* system) {
    SYSKIND kind;
    if (std::string(system) == "win32")
        kind = SYS_WIN32;
    else if (std::string(system) == "win64")
        kind = SYS_WIN64;
    else
        throw Failure{E_INVALIDARG, std::string("unknown system kind ") + system};

    ComPtr<ITypeLib> source;
    Check(::LoadTypeLibEx(Widen(input).c_str(), REGKIND_NONE, source.put()),
          std::string("LoadTypeLibEx ") + input);
    ::DeleteFileA(output);
    ComPtr<ICreateTypeLib2> target;
    Check(::CreateTypeLib2(kind, Widen(output).c_str(), target.put()),
          std::string("CreateTypeLib2 ") + output);
    SHORT targetPointerSize = kind == SYS_WIN64 ? 8 : 4;
    LibraryCopy copy(source.get(), target.get(), targetPointerSize);
    copy.Run();
    target.reset();
    if (targetPointerSize != sizeof(void*))
        CorrectVtableSizes(output, copy.vtableSizes());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: typelib_writer INPUT.tlb OUTPUT.tlb win32|win64\n");
        return 2;
    }
    ::CoInitialize(nullptr);
    int status = 1;
    try {
        status = Run(argv[1], argv[2], argv[3]);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "typelib_writer: %s failed: 0x%08lX\n", failure.what.c_str(),
                     static_cast<unsigned long>(failure.result));
        ::DeleteFileA(argv[2]);
    }
    ::CoUninitialize();
    return status;
}
