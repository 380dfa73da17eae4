// Build-time tool: writes an installer's registry rows for the automation class (a WiX include
// file), one component per registry view, each naming that view's library, so that each view gets
// the rows its own regsvr32 writes.
//
//   class_rows_writer.exe SCRIPT.rgs TYPELIB.tlb x64|x86 OUTPUT.wxi
//
// The class's rows come from the library's own registry script reader, run against a registry in
// memory: its register pass gives the keys and values, and its unregister pass after it tells the
// keys that the package owns (those it removes). The type library's and its interfaces' rows are
// the ones RegisterTypeLib writes for the library in TYPELIB. Runs under Wine as an x86_64
// program for both targets.
//
//   x64  ClassRows64, the 64-bit view: the x64 library (BackendFile in INSTALLDIR), and the type
//        library's key, which both views share, with both libraries' entries;
//        ClassRows32, the 32-bit view: the i686 library (Backend32File in INSTALLDIR32).
//   x86  ClassRows32, the only view: the i686 library (BackendFile in INSTALLDIR).
#include "common/com_ptr.h"
#include "common/ole_owners.h"
#include "registration/memory_registry.h"
#include "registration/script.h"

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The system's marshaler for dual and automation interfaces.
const char kAutomationMarshaler[] = "{00020424-0000-0000-C000-000000000046}";
// Stands for "%MODULE%" until each view's library file is put in its place.
const char kModuleMark[] = "\x01module\x01";

struct Failure {
    std::string what;
};

std::string HexResult(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string Narrow(const wchar_t* text) {
    char buffer[512] = "";
    if (text != nullptr)
        ::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

std::string GuidText(const GUID& guid) {
    wchar_t text[40] = L"";
    ::StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

std::string Hex(unsigned long number) {
    char text[16];
    std::snprintf(text, sizeof text, "%lx", number);
    return text;
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Brackets are Windows Installer's property references; the script's text is literal.
std::string LiteralForInstaller(const std::string& text) {
    std::string literal;
    for (char c : text)
        literal += c == '[' || c == ']' ? std::string("[\\") + c + "]" : std::string(1, c);
    return literal;
}

std::string XmlAttribute(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
        case '&':
            quoted += "&amp;";
            break;
        case '<':
            quoted += "&lt;";
            break;
        case '>':
            quoted += "&gt;";
            break;
        case '"':
            quoted += "&quot;";
            break;
        default:
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw Failure{"cannot read " + path};
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A value under HKEY_CLASSES_ROOT; no name is the key's default value.
struct Value {
    std::string key;
    std::string name;
    std::string data;
};
// A key that the package owns: '*' is created and removed with all below it, '+' created and
// removed when empty.
struct OwnedKey {
    std::string key;
    char marker;
};
struct Rows {
    std::vector<Value> values;
    std::vector<OwnedKey> keys;
};

MemoryRegistry Applied(const std::string& script, bool thenUnregister) {
    ScriptVariables variables;
    HRESULT hr = variables.AddQuoted("Module", kModuleMark);
    MemoryRegistry registry;
    if (SUCCEEDED(hr))
        hr = ApplyRegistryScriptText(script.data(), script.size(), variables, true, registry);
    if (FAILED(hr))
        throw Failure{"the registry script does not register: " + HexResult(hr)};
    if (thenUnregister)
        ApplyRegistryScriptText(script.data(), script.size(), variables, false, registry);
    return registry;
}

std::string ClassesPath(const std::string& path) {
    const std::string root = "HKCR\\";
    if (path.compare(0, root.size(), root) != 0)
        throw Failure{"the package writes HKEY_CLASSES_ROOT only, not " + path};
    return path.substr(root.size());
}

// Keys and values in the order that the script writes them, so that the first value, the
// component's key path, is the script's first.
std::vector<MemoryRegistry::Entry> InWriteOrder(const MemoryRegistry& registry) {
    std::map<std::string, size_t> order;
    for (const std::string& write : registry.Writes())
        order.emplace(write, order.size());
    std::vector<MemoryRegistry::Entry> entries = registry.Entries();
    auto rank = [&order](const MemoryRegistry::Entry& entry) {
        auto found = order.find(entry.isValue ? entry.path + " [" + entry.name + "]" : entry.path);
        return found != order.end() ? found->second : order.size();
    };
    std::stable_sort(entries.begin(), entries.end(),
                     [&rank](const auto& a, const auto& b) { return rank(a) < rank(b); });
    return entries;
}

// The rows that the script writes; "%MODULE%" stands as kModuleMark.
Rows ScriptRows(const std::string& script) {
    const MemoryRegistry written = Applied(script, false);
    std::set<std::string> left;
    for (const MemoryRegistry::Entry& entry : Applied(script, true).Entries())
        left.insert(entry.path);
    Rows rows;
    for (const MemoryRegistry::Entry& entry : InWriteOrder(written)) {
        const std::string key = ClassesPath(entry.path);
        if (key.find(kModuleMark) != std::string::npos)
            throw Failure{"a key name holds the library's path: " + key};
        if (!entry.isValue) {
            if (left.count(entry.path) != 0)
                continue; // the script never removes it: not the package's
            const std::string parent = entry.path.substr(0, entry.path.rfind('\\'));
            rows.keys.push_back({key, parent == "HKCR" || left.count(parent) != 0 ? '*' : '+'});
            continue;
        }
        if (entry.type != REG_SZ)
            throw Failure{"only text values can be installed: " + key + " [" + entry.name + "]"};
        std::string data(entry.data.begin(), entry.data.end());
        if (!data.empty() && data.back() == '\0')
            data.pop_back();
        rows.values.push_back({key, entry.name, LiteralForInstaller(data)});
    }
    return rows;
}

// What RegisterTypeLib writes for the library: its key, and one key per interface that clients
// marshal through the system's automation marshaler.
struct TypeLibraryFacts {
    std::string libid;
    std::string version;
    std::string help;
    std::string flags;
    std::string locale;
    std::vector<std::pair<std::string, std::string>> interfaces; // IID, name
};

std::string Documentation(ITypeLib* library, INT index) {
    UniqueBstr name, help;
    HRESULT hr = library->GetDocumentation(index, name.put(), help.put(), nullptr, nullptr);
    if (FAILED(hr))
        throw Failure{"GetDocumentation: " + HexResult(hr)};
    return Narrow(index == -1 ? help.get() : name.get());
}

TypeLibraryFacts ReadTypeLibrary(const std::string& path) {
    std::wstring widePath(path.begin(), path.end());
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, library.put());
    if (FAILED(hr))
        throw Failure{"cannot load the type library " + path + ": " + HexResult(hr)};
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr))
        throw Failure{"GetLibAttr: " + HexResult(hr)};
    TypeLibraryFacts facts;
    facts.libid = GuidText(attributes->guid);
    facts.version = Hex(attributes->wMajorVerNum) + "." + Hex(attributes->wMinorVerNum);
    // The system records the flags with "has a disk image" added.
    facts.flags = std::to_string(attributes->wLibFlags | LIBFLAG_FHASDISKIMAGE);
    facts.locale = Hex(attributes->lcid);
    library->ReleaseTLibAttr(attributes);
    facts.help = Documentation(library.get(), -1);

    for (UINT index = 0; index < library->GetTypeInfoCount(); ++index) {
        ComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfo(index, info.put())))
            throw Failure{"GetTypeInfo " + std::to_string(index)};
        UniqueTypeAttr attr(info.get());
        if (FAILED(info->GetTypeAttr(attr.put())))
            throw Failure{"GetTypeAttr " + std::to_string(index)};
        if (attr->typekind != TKIND_INTERFACE && attr->typekind != TKIND_DISPATCH)
            continue;
        const std::string name = Documentation(library.get(), static_cast<INT>(index));
        // Others get another marshaler, or none; rows for them would be guesses.
        if ((attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) == 0)
            throw Failure{"the interface " + name + " is neither dual nor an automation interface"};
        facts.interfaces.emplace_back(GuidText(attr->guid), name);
    }
    return facts;
}

// One component of one view. `typeLibraryFiles`: the system kind and library file of each entry
// that the type library's key holds, or none where another component writes that shared key.
struct View {
    const char* component;
    bool win64;
    const char* file;
    const char* folder;
    std::vector<std::pair<const char*, const char*>> typeLibraryFiles;
};

std::vector<View> ViewsOf(const std::string& layout) {
    if (layout == "x64")
        return {{"ClassRows64",
                 true,
                 "BackendFile",
                 "INSTALLDIR",
                 {{"win32", "[#Backend32File]"}, {"win64", "[#BackendFile]"}}},
                {"ClassRows32", false, "Backend32File", "INSTALLDIR32", {}}};
    if (layout == "x86")
        return {{"ClassRows32", false, "BackendFile", "INSTALLDIR", {{"win32", "[#BackendFile]"}}}};
    throw Failure{"unknown layout " + layout + " (x64 or x86)"};
}

Rows ViewRows(const Rows& script, const TypeLibraryFacts& library, const View& view) {
    Rows rows = script;
    for (Value& value : rows.values)
        Replace(value.data, kModuleMark, std::string("[#") + view.file + "]");
    if (!view.typeLibraryFiles.empty()) {
        const std::string base = "TypeLib\\" + library.libid;
        const std::string version = base + "\\" + library.version;
        rows.keys.push_back({base, '*'});
        rows.values.push_back({version, "", library.help});
        rows.values.push_back({version + "\\FLAGS", "", library.flags});
        for (const auto& [kind, file] : view.typeLibraryFiles)
            rows.values.push_back({version + "\\" + library.locale + "\\" + kind, "", file});
        rows.values.push_back({version + "\\HELPDIR", "", std::string("[") + view.folder + "]"});
    }
    for (const auto& [iid, name] : library.interfaces) {
        const std::string base = "Interface\\" + iid;
        rows.keys.push_back({base, '*'});
        rows.values.push_back({base, "", name});
        rows.values.push_back({base + "\\ProxyStubClsid", "", kAutomationMarshaler});
        rows.values.push_back({base + "\\ProxyStubClsid32", "", kAutomationMarshaler});
        rows.values.push_back({base + "\\TypeLib", "", library.libid});
        rows.values.push_back({base + "\\TypeLib", "Version", library.version});
    }
    return rows;
}

// The first value is the component's key path; a '+' key gets a row of its own only where no
// value creates it.
void WriteComponent(std::ostream& out, const View& view, const Rows& rows) {
    out << "<DirectoryRef Id=\"" << view.folder << "\">\n";
    out << "<Component Id=\"" << view.component << "\" Guid=\"*\" Win64=\""
        << (view.win64 ? "yes" : "no") << "\">\n";
    std::set<std::string> withValues;
    for (size_t index = 0; index < rows.values.size(); ++index) {
        const Value& value = rows.values[index];
        withValues.insert(value.key);
        out << "  <RegistryValue Root=\"HKCR\" Key=" << XmlAttribute(value.key)
            << (value.name.empty() ? "" : " Name=" + XmlAttribute(value.name))
            << " Type=\"string\" Value=" << XmlAttribute(value.data)
            << (index == 0 ? " KeyPath=\"yes\"" : "") << " />\n";
    }
    for (const OwnedKey& key : rows.keys) {
        if (key.marker == '+' && withValues.count(key.key) != 0)
            continue;
        out << "  <RegistryValue Root=\"HKCR\" Key=" << XmlAttribute(key.key) << " Name=\""
            << key.marker << "\" Type=\"string\" Value=\"\" />\n";
    }
    out << "</Component>\n</DirectoryRef>\n";
}

void Run(const std::string& scriptPath, const std::string& typeLibraryPath,
         const std::string& layout, const std::string& outputPath) {
    const std::vector<View> views = ViewsOf(layout);
    const Rows script = ScriptRows(ReadFile(scriptPath));
    const TypeLibraryFacts library = ReadTypeLibrary(typeLibraryPath);
    std::ostringstream text;
    text << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         << "<!-- Written by class_rows_writer from "
         << scriptPath.substr(scriptPath.find_last_of("/\\") + 1) << "; do not edit. -->\n"
         << "<Include>\n";
    for (const View& view : views)
        WriteComponent(text, view, ViewRows(script, library, view));
    text << "</Include>\n";
    std::ofstream out(outputPath, std::ios::binary);
    out << text.str();
    if (!out.flush())
        throw Failure{"cannot write " + outputPath};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: class_rows_writer SCRIPT.rgs TYPELIB.tlb x64|x86 OUTPUT.wxi\n");
        return 2;
    }
    ::CoInitialize(nullptr);
    int status = 0;
    try {
        Run(argv[1], argv[2], argv[3], argv[4]);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "class_rows_writer: %s: %s\n", argv[1], failure.what.c_str());
        status = 1;
    }
    ::CoUninitialize();
    return status;
}
