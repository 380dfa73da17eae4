// The processor dialog on machines of several shapes that Wine pretends to be for real, each
// written as a /sys tree by make_sys_tree.py (pretend-machine.sh, which names the machine in
// TANDREL_PRETEND_MACHINE): what only the real dialog on the real topology read shows, the
// selector's entries and the boxes each ticks, a tooltip on every present box, the tab order,
// and Move handing a real process the chosen processors. The texts of the entries and tooltips
// for every shape are processor_choices_test.cpp's.
#include "frontend/affinity_mask_text.h"
#include "main_window_fixture.h"
#include "processor_dialog_reader.h"
#include "frontend/resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Entry {
    std::string text;
    AffinityMask processors;
};

struct Shape {
    const char* name;
    int processors;
    // Empty where the dialog must stay the template's.
    std::vector<Entry> entries;
};

// The machines of tests/machine/CMakeLists.txt.
const Shape kShapes[] = {
    {"smt32",
     32,
     {{"All processors", 0xFFFFFFFF},
      {"One thread per core", 0x0000FFFF},
      {"L3 cache 0, 96 MB (0-7,16-23)", 0x00FF00FF},
      {"L3 cache 1, 32 MB (8-15,24-31)", 0xFF00FF00}}},
    {"numa16",
     16,
     {{"All processors", 0xFFFF}, {"NUMA node 0 (0-7)", 0x00FF}, {"NUMA node 1 (8-15)", 0xFF00}}},
    {"flat4", 4, {}},
    // More than 32 processors: the selector, though it offers nothing else.
    {"flat48", 48, {{"All processors", static_cast<AffinityMask>(0xFFFFFFFFFFFFull)}}},
};

constexpr int kTemplateControls = 35;

const Shape* PretendShape() {
    char name[32] = {};
    ::GetEnvironmentVariableA("TANDREL_PRETEND_MACHINE", name, sizeof(name));
    for (const Shape& shape : kShapes)
        if (std::string(name) == shape.name)
            return &shape;
    return nullptr;
}

class MachineShape : public MainWindowTest {
  protected:
    void SetUp() override {
        shape_ = PretendShape();
        ASSERT_NE(nullptr, shape_) << "to be run by pretend-machine.sh on a machine of the table";
        SYSTEM_INFO info{};
        ::GetSystemInfo(&info);
        ASSERT_EQ(static_cast<DWORD>(shape_->processors), info.dwNumberOfProcessors);
        MainWindowTest::SetUp();
    }

    // Opens the dialog through "Move to CPU(s)..." for the helper's row; `user` answers it.
    void MoveThroughDialog(const HelperProcess& helper, ModalDriver::Action user) {
        Select({helper.pid()});
        MenuDriver menus;
        menus.ThenChoose(ID_MOVE_TO_CPUS);
        ModalDriver dialogs;
        dialogs.Then(std::move(user));
        ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
        PumpMessages();
        ASSERT_EQ(1u, dialogs.shown().size());
    }

    const Shape* shape_ = nullptr;
};

} // namespace

TEST_F(MachineShape, SelectorTicksEachEntrysProcessorsAndMoveGivesTheLast) {
    HelperProcess helper;
    OpenWindow();
    ProcessorDialogView view;
    std::vector<AffinityMask> ticked;
    int choiceAfterHandTick = 0;
    HWND afterLastBox = nullptr, afterSelector = nullptr, ok = nullptr;
    const int lastBox = IDC_CPU_FIRST + (shape_->processors > 32 ? kMaskProcessors : 32) - 1;
    MoveThroughDialog(helper, [&](HWND dialog) {
        view = ReadProcessorDialog(dialog);
        ok = ::GetDlgItem(dialog, IDOK);
        afterLastBox = ::GetNextDlgTabItem(dialog, ::GetDlgItem(dialog, lastBox), FALSE);
        if (view.selector != nullptr)
            afterSelector = ::GetNextDlgTabItem(dialog, view.selector, FALSE);
        for (size_t i = 0; i < view.entries.size(); ++i) {
            ChooseWithArrowKeys(dialog, static_cast<int>(i));
            ticked.push_back(TickedProcessors(dialog));
        }
        if (view.selector != nullptr) {
            ChooseWithArrowKeys(dialog, 0);
            ::SendDlgItemMessageA(dialog, IDC_CPU_FIRST, BM_CLICK, 0, 0);
            choiceAfterHandTick = SelectorChoice(dialog);
            ChooseWithArrowKeys(dialog, static_cast<int>(view.entries.size()) - 1);
            ModalDriver::Click(IDOK)(dialog);
        } else {
            ModalDriver::Check({IDC_CPU_FIRST + 1, IDC_CPU_FIRST + 3}, IDOK)(dialog);
        }
    });

    ASSERT_EQ(shape_->entries.size(), view.entries.size());
    for (size_t i = 0; i < view.entries.size(); ++i) {
        SCOPED_TRACE(shape_->entries[i].text);
        EXPECT_EQ(shape_->entries[i].text, view.entries[i]);
        EXPECT_EQ(shape_->entries[i].processors, ticked[i]);
    }
    EXPECT_EQ(shape_->processors, static_cast<int>(view.tooltips.size()));
    if (shape_->entries.empty()) {
        EXPECT_EQ(kTemplateControls, view.controls);
        EXPECT_FALSE(view.hasLabel);
        EXPECT_EQ(ok, afterLastBox);
        EXPECT_EQ(AffinityMask{0xA}, helper.mask());
        EXPECT_EQ("1,3", RowFor(helper.pid())->mask);
        return;
    }
    EXPECT_TRUE(view.hasLabel);
    EXPECT_EQ(view.selector, afterLastBox);
    EXPECT_EQ(ok, afterSelector);
    EXPECT_EQ(-1, choiceAfterHandTick);
    const AffinityMask last = shape_->entries.back().processors;
    EXPECT_EQ(last, helper.mask());
    EXPECT_EQ(FormatAffinityMask(last), RowFor(helper.pid())->mask);
}
