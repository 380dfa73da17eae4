// The compiled dialog templates and icon, read back from the executable as the dialog manager
// and the shell read them.
#include "frontend/resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;
constexpr DWORD kChildVisible = WS_CHILD | WS_VISIBLE;

// A class or title field: an ordinal, or a string (empty when the field holds nothing).
struct NameOrOrdinal {
    WORD ordinal = 0;
    std::string text;
};

// Where a dialog or control stands and how big it is, in dialog units.
struct Placement {
    short x = 0, y = 0, cx = 0, cy = 0;
};

struct ControlTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    Placement place;
    WORD id = 0;
    NameOrOrdinal className;
    NameOrOrdinal text;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    Placement place;
    NameOrOrdinal menu;
    NameOrOrdinal className;
    std::string caption;
    WORD pointSize = 0;
    std::string fontName;
    std::vector<ControlTemplate> controls;
};

std::pair<const BYTE*, DWORD> LoadResourceBytes(LPCSTR type, int id) {
    const HMODULE module = ::GetModuleHandleA(nullptr);
    const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found)
        return {nullptr, 0};
    return {static_cast<const BYTE*>(::LockResource(::LoadResource(module, found))),
            ::SizeofResource(module, found)};
}

// Reads the little-endian fields of a plain (not extended) template, with bounds checks.
class TemplateReader {
  public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}

    bool failed() const { return failed_; }

    WORD Word() {
        WORD value = 0;
        Copy(&value, sizeof(value));
        return value;
    }
    DWORD Dword() {
        DWORD value = 0;
        Copy(&value, sizeof(value));
        return value;
    }
    short Short() { return static_cast<short>(Word()); }

    Placement Place() {
        Placement place;
        place.x = Short();
        place.y = Short();
        place.cx = Short();
        place.cy = Short();
        return place;
    }

    std::string String() {
        std::string text;
        for (WORD c = Word(); c != 0 && !failed_; c = Word())
            text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }

    NameOrOrdinal Name() {
        NameOrOrdinal name;
        const WORD first = Word();
        if (first == 0xFFFF) {
            name.ordinal = Word();
        } else if (first != 0) {
            offset_ -= sizeof(WORD);
            name.text = String();
        }
        return name;
    }

    void AlignToDword() { offset_ = (offset_ + 3) & ~static_cast<DWORD>(3); }

  private:
    void Copy(void* target, DWORD bytes) {
        if (offset_ + bytes > size_) {
            failed_ = true;
            return;
        }
        memcpy(target, data_ + offset_, bytes);
        offset_ += bytes;
    }

    const BYTE* data_;
    DWORD size_;
    DWORD offset_ = 0;
    bool failed_ = false;
};

DialogTemplate ReadDialogTemplate(int id) {
    DialogTemplate dialog;
    const auto [data, size] = LoadResourceBytes(RT_DIALOG, id);
    if (!data) {
        ADD_FAILURE() << "no dialog template " << id;
        return dialog;
    }
    TemplateReader reader(data, size);
    dialog.style = reader.Dword();
    dialog.exStyle = reader.Dword();
    const WORD count = reader.Word();
    dialog.place = reader.Place();
    dialog.menu = reader.Name();
    dialog.className = reader.Name();
    dialog.caption = reader.String();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = reader.Word();
        dialog.fontName = reader.String();
    }
    for (WORD i = 0; i < count && !reader.failed(); ++i) {
        reader.AlignToDword();
        ControlTemplate control;
        control.style = reader.Dword();
        control.exStyle = reader.Dword();
        control.place = reader.Place();
        control.id = reader.Word();
        control.className = reader.Name();
        control.text = reader.Name();
        const WORD extraBytes = reader.Word();
        for (WORD b = 0; b < extraBytes; ++b)
            reader.Word(); // never used by our templates; skipped only to stay in step
        dialog.controls.push_back(control);
    }
    EXPECT_FALSE(reader.failed()) << "template " << id << " ends early";
    return dialog;
}

std::string Uppercase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

void ExpectPlacement(const Placement& expected, const Placement& actual) {
    EXPECT_EQ(expected.x, actual.x);
    EXPECT_EQ(expected.y, actual.y);
    EXPECT_EQ(expected.cx, actual.cx);
    EXPECT_EQ(expected.cy, actual.cy);
}

// Everything of a dialog template but its controls; neither dialog names a menu or a class.
void ExpectDialogHeader(const DialogTemplate& expected, const DialogTemplate& actual) {
    EXPECT_EQ(expected.style, actual.style);
    EXPECT_EQ(0u, actual.exStyle);
    ExpectPlacement(expected.place, actual.place);
    EXPECT_EQ(0, actual.menu.ordinal);
    EXPECT_EQ("", actual.menu.text);
    EXPECT_EQ(0, actual.className.ordinal);
    EXPECT_EQ("", actual.className.text);
    EXPECT_EQ(expected.caption, actual.caption);
    EXPECT_EQ(expected.pointSize, actual.pointSize);
    EXPECT_EQ(expected.fontName, actual.fontName);
}

DialogTemplate Dialog(DWORD style, short x, short y, short cx, short cy, const char* caption,
                      WORD pointSize, const char* fontName) {
    DialogTemplate dialog;
    dialog.style = style;
    dialog.place = {x, y, cx, cy};
    dialog.caption = caption;
    dialog.pointSize = pointSize;
    dialog.fontName = fontName;
    return dialog;
}

void ExpectControl(const ControlTemplate& expected, const ControlTemplate& actual) {
    EXPECT_EQ(expected.id, actual.id);
    EXPECT_EQ(expected.className.ordinal, actual.className.ordinal);
    // Class names are not case-sensitive; the resource compiler stores them in capitals.
    EXPECT_EQ(Uppercase(expected.className.text), Uppercase(actual.className.text));
    EXPECT_EQ(expected.text.text, actual.text.text);
    EXPECT_EQ(0, actual.text.ordinal);
    EXPECT_EQ(expected.style, actual.style);
    EXPECT_EQ(0u, actual.exStyle);
    ExpectPlacement(expected.place, actual.place);
}

void ExpectControls(const std::vector<ControlTemplate>& expected, const DialogTemplate& dialog) {
    ASSERT_EQ(expected.size(), dialog.controls.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i));
        ExpectControl(expected[i], dialog.controls[i]);
    }
}

ControlTemplate Control(WORD id, WORD classOrdinal, const char* text, DWORD style, short x, short y,
                        short cx, short cy) {
    ControlTemplate control;
    control.id = id;
    control.className.ordinal = classOrdinal;
    control.text.text = text;
    control.style = style;
    control.place = {x, y, cx, cy};
    return control;
}

// The processor boxes in template order: four columns of eight, numbers running down.
std::vector<ControlTemplate> ExpectedProcessorBoxes() {
    const short columnX[] = {13, 65, 119, 178};
    std::vector<ControlTemplate> boxes;
    for (int k = 0; k < 32; ++k) {
        const int column = k / 8;
        const int row = k % 8;
        short width = 37;
        if (column == 3)
            width = 38;
        else if (k >= 10)
            width = 41;
        boxes.push_back(Control(static_cast<WORD>(IDC_CPU_FIRST + k), kButtonClass, "",
                                kChildVisible | WS_TABSTOP | BS_AUTOCHECKBOX, columnX[column],
                                static_cast<short>(35 + 12 * row), width, 10));
        boxes.back().text.text = "CPU " + std::to_string(k);
    }
    return boxes;
}
BOOL CALLBACK CollectResourceName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}
} // namespace

TEST(MainWindowTemplate, HasTheWindowsSizeCaptionFontAndStyle) {
    ExpectDialogHeader(Dialog(0x90CA08C0u, 0, 0, 270, 282, "Tandrel Pro", 8, "MS Sans Serif"),
                       ReadDialogTemplate(IDD_MAIN));
}

TEST(MainWindowTemplate, HoldsTheListAndTheFourButtonsInOrder) {
    const DialogTemplate dialog = ReadDialogTemplate(IDD_MAIN);
    const DWORD button = kChildVisible | WS_TABSTOP | BS_PUSHBUTTON;
    ControlTemplate list = Control(IDC_PROCESS_LIST, 0, "", 0x50818011, 7, 7, 256, 248);
    list.className.text = "SysListView32";
    const std::vector<ControlTemplate> expected = {
        list,
        Control(IDC_REFRESH, kButtonClass, "Refresh", button, 7, 258, 61, 17),
        Control(IDC_RESET, kButtonClass, "Reset", button, 72, 258, 61, 17),
        Control(IDC_MINIMIZE, kButtonClass, "Minimize", button, 137, 258, 61, 17),
        Control(IDC_EXIT, kButtonClass, "Exit", button, 202, 258, 61, 17),
    };
    ExpectControls(expected, dialog);
}

TEST(ProcessorDialogTemplate, HasTheDialogsPlaceSizeCaptionFontAndStyle) {
    const DWORD style =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
    ExpectDialogHeader(Dialog(style, 20, 20, 232, 157, "Processor Affinity", 8, "MS Shell Dlg"),
                       ReadDialogTemplate(IDD_PROCESSOR_AFFINITY));
}

TEST(ProcessorDialogTemplate, HoldsTheBoxesButtonsAndTextInTabOrder) {
    const DialogTemplate dialog = ReadDialogTemplate(IDD_PROCESSOR_AFFINITY);
    std::vector<ControlTemplate> expected = ExpectedProcessorBoxes();
    expected.push_back(Control(IDOK, kButtonClass, "OK",
                               kChildVisible | WS_TABSTOP | BS_DEFPUSHBUTTON, 121, 138, 50, 14));
    expected.push_back(Control(IDCANCEL, kButtonClass, "Cancel",
                               kChildVisible | WS_TABSTOP | BS_PUSHBUTTON, 175, 138, 50, 14));
    expected.push_back(Control(0xFFFF, kStaticClass,
                               "The Processor Affinity setting controls which CPUs the process "
                               "will be allowed to execute on.",
                               kChildVisible | WS_GROUP | SS_LEFT, 7, 6, 218, 19));
    ASSERT_EQ(35u, expected.size());
    ExpectControls(expected, dialog);
}

// The one icon group is also the program file's icon: one 32x32 image, 16 colours, with a mask.
TEST(ProgramIcon, IsOneGroupWithOne32By32SixteenColourImage) {
    std::vector<ULONG_PTR> groups;
    ::EnumResourceNamesA(::GetModuleHandleA(nullptr), RT_GROUP_ICON, CollectResourceName,
                         reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_EQ(1u, groups.size());
    EXPECT_EQ(static_cast<ULONG_PTR>(IDI_MAIN), groups[0]);

    const auto [group, groupSize] = LoadResourceBytes(RT_GROUP_ICON, IDI_MAIN);
    ASSERT_NE(nullptr, group);
    ASSERT_EQ(6u + 14u, groupSize); // header and one directory entry
    TemplateReader directory(group, groupSize);
    EXPECT_EQ(0, directory.Word());
    EXPECT_EQ(1, directory.Word()); // icon
    EXPECT_EQ(1, directory.Word()); // images
    const WORD size = directory.Word();
    EXPECT_EQ(32, LOBYTE(size));
    EXPECT_EQ(32, HIBYTE(size));
    EXPECT_EQ(16, LOBYTE(directory.Word())); // colours
    EXPECT_EQ(1, directory.Word());          // planes
    EXPECT_EQ(4, directory.Word());          // bits per pixel
    const DWORD imageBytes = directory.Dword();
    const WORD imageId = directory.Word();

    const auto [image, storedBytes] = LoadResourceBytes(RT_ICON, imageId);
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(imageBytes, storedBytes);
    BITMAPINFOHEADER header{};
    ASSERT_GE(storedBytes, sizeof(header));
    memcpy(&header, image, sizeof(header));
    EXPECT_EQ(32, header.biWidth);
    EXPECT_EQ(64, header.biHeight); // colour rows and mask rows
    EXPECT_EQ(4, header.biBitCount);
    // Header, 16 palette entries, 32 rows of 16 colour bytes and 32 rows of 4 mask bytes.
    EXPECT_EQ(40u + 16u * 4u + 32u * 16u + 32u * 4u, storedBytes);

    const HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN));
    EXPECT_NE(nullptr, icon);
}
