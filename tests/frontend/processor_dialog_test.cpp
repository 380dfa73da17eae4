// The processor dialog as a user meets it: opened from its real template, answered through
// ModalDriver with clicks and keys, with the machine's processors chosen through the back end's
// platform.
#include "frontend/processor_dialog/processor_dialog.h"

#include "engine/process_platform.h"
#include "modal_driver.h"
#include "frontend/resource.h"
#include "frontend/processor_dialog/topology_platform.h"
#include "processor_dialog_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {
bool failNextNothrowAllocation = false;
bool nothrowAllocationFailed = false;
} // namespace

// The dialog makes its object with the non-throwing new; this lets one test refuse it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (std::exchange(failNextNothrowAllocation, false)) {
        nothrowAllocationFailed = true;
        return nullptr;
    }
    return std::malloc(size != 0 ? size : 1);
}

namespace {
constexpr AffinityMask kUntouched = 0xDEADBEEF;

// The Enter key, through the dialog manager, like ModalDriver::PressEscape.
ModalDriver::Action PressEnter() {
    return [](HWND dialog) {
        HWND target = ::GetFocus();
        if (!target || (target != dialog && !::IsChild(dialog, target)))
            target = dialog;
        ::PostMessageA(target, WM_KEYDOWN, VK_RETURN, 1);
        ::PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC0000001);
    };
}

struct Boxes {
    unsigned long enabled = 0;
    unsigned long checked = 0;
};

Boxes ReadBoxes(HWND dialog) {
    Boxes boxes;
    for (int k = 0; k < 32; ++k) {
        const HWND box = ::GetDlgItem(dialog, IDC_CPU_FIRST + k);
        if (::IsWindowEnabled(box))
            boxes.enabled |= 1ul << k;
        if (::SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED)
            boxes.checked |= 1ul << k;
    }
    return boxes;
}

// Stands in for the machine's processors.
class FakeProcessors : public ProcessPlatform {
  public:
    explicit FakeProcessors(DWORD_PTR active) : active_(active) {}
    void QuerySystemInfo(SYSTEM_INFO* info) override { info->dwActiveProcessorMask = active_; }

  private:
    DWORD_PTR active_;
};

class ProcessorDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        owner_ =
            ::CreateWindowExA(0, "Static", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                              300, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, owner_);
    }
    void TearDown() override { ::DestroyWindow(owner_); }

    // Opens the dialog on a machine with the given processors; `user` answers it.
    bool Show(DWORD_PTR activeProcessors, AffinityMask initialMask) {
        FakeProcessors processors(activeProcessors);
        ScopedProcessPlatform scoped(processors);
        // A machine of one group, where every processor is a bit of the mask.
        ProcessorSet chosen;
        if (!ShowProcessorDialog(owner_, {ProcessorSet::InGroup(0, initialMask)}, &chosen))
            return false;
        result_ = chosen.groups[0];
        return true;
    }

    // Every window the test queued an action for was shown, and nothing else.
    void ExpectAllAnswered() {
        EXPECT_EQ(0u, user.pendingActions());
        for (const ShownDialog& shown : user.shown())
            EXPECT_TRUE(shown.expected) << "unexpected window \"" << shown.caption << "\"";
    }

    ModalDriver user;

    HWND owner_ = nullptr;
    AffinityMask result_ = kUntouched;
};
} // namespace

TEST_F(ProcessorDialogTest, EnablesExactlyTheBoxesOfTheActiveProcessors) {
    for (const DWORD_PTR active : {DWORD_PTR{0x3}, DWORD_PTR{0x80010005}, DWORD_PTR{0xFFFFFFFF}}) {
        SCOPED_TRACE(testing::Message() << "active processors 0x" << std::hex << active);
        Boxes boxes;
        HWND shownOwner = nullptr;
        HWND boxAfterTheTemplates = nullptr;
        user.Then([&](HWND dialog) {
            boxes = ReadBoxes(dialog);
            shownOwner = ::GetWindow(dialog, GW_OWNER);
            boxAfterTheTemplates = ::GetDlgItem(dialog, IDC_CPU_LAST + 1);
            ModalDriver::Click(IDCANCEL)(dialog);
        });
        EXPECT_FALSE(Show(active, 0));
        EXPECT_EQ(static_cast<unsigned long>(active), boxes.enabled);
        EXPECT_EQ(0ul, boxes.checked);
        EXPECT_EQ(owner_, shownOwner);
        // Up to 32 processors the template's boxes are all there is.
        EXPECT_EQ(nullptr, boxAfterTheTemplates);
    }
    ExpectAllAnswered();
}

TEST_F(ProcessorDialogTest, ChecksOnlyInitialBitsOfPresentProcessors) {
    Boxes boxes;
    user.Then([&](HWND dialog) {
        boxes = ReadBoxes(dialog);
        ModalDriver::Click(IDOK)(dialog);
    });
    EXPECT_TRUE(Show(0x3, 0xFFFFFFFE));
    EXPECT_EQ(0x3ul, boxes.enabled);
    EXPECT_EQ(0x2ul, boxes.checked);
    EXPECT_EQ(0x2ul, result_);
    ExpectAllAnswered();
}

// The dialog stays usable after the warning: the user then checks a box and confirms.
TEST_F(ProcessorDialogTest, OkWithNoBoxCheckedWarnsAndStaysOpen) {
    Boxes afterWarning;
    user.Then([&](HWND dialog) {
        // Sent, not posted: the warning opens and is answered before the click returns.
        ::SendMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        afterWarning = ReadBoxes(dialog);
        ModalDriver::Check({IDC_CPU_FIRST + 1}, IDOK)(dialog);
    });
    user.Then(ModalDriver::Click(IDOK)); // the warning

    EXPECT_TRUE(Show(0x3, 0));
    ASSERT_EQ(2u, user.shown().size());
    const ShownDialog& warning = user.shown()[1];
    EXPECT_EQ("Tandrel Pro", warning.caption);
    EXPECT_EQ("You must select at least one CPU.", warning.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), warning.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, warning.buttons);
    EXPECT_EQ(0x3ul, afterWarning.enabled);
    EXPECT_EQ(0ul, afterWarning.checked);
    EXPECT_EQ(0x2ul, result_);
    ExpectAllAnswered();
}

TEST_F(ProcessorDialogTest, CheckingCpu0AndCpu1GivesMask3) {
    user.Then(ModalDriver::Check({IDC_CPU_FIRST, IDC_CPU_FIRST + 1}, IDOK));
    EXPECT_TRUE(Show(0x3, 0));
    EXPECT_EQ(0x3ul, result_);
    ASSERT_EQ(1u, user.shown().size());
    EXPECT_EQ("Processor Affinity", user.shown()[0].caption);
    ExpectAllAnswered();
}

TEST_F(ProcessorDialogTest, EnterConfirmsLikeOk) {
    user.Then([](HWND dialog) {
        ModalDriver::Click(IDC_CPU_FIRST + 1)(dialog);
        PressEnter()(dialog);
    });
    EXPECT_TRUE(Show(0x3, 0));
    EXPECT_EQ(0x2ul, result_);
    ExpectAllAnswered();
}

TEST_F(ProcessorDialogTest, AllBoxesOfA32ProcessorMachineGiveEveryBit) {
    std::vector<int> everyBox;
    for (int id = IDC_CPU_FIRST; id <= IDC_CPU_LAST; ++id)
        everyBox.push_back(id);
    Boxes boxes;
    // A posted click toggles even a disabled box, so what the user could click is read first.
    user.Then([&](HWND dialog) {
        boxes = ReadBoxes(dialog);
        ModalDriver::Check(everyBox, IDOK)(dialog);
    });
    EXPECT_TRUE(Show(0xFFFFFFFF, 0));
    EXPECT_EQ(0xFFFFFFFFul, boxes.enabled);
    EXPECT_EQ(0xFFFFFFFFul, result_);
    ExpectAllAnswered();
}

TEST_F(ProcessorDialogTest, CancelEscapeAndTheCloseBoxLeaveTheResultAsItWas) {
    const struct {
        const char* way;
        ModalDriver::Action leave;
    } ways[] = {
        {"Cancel", ModalDriver::Click(IDCANCEL)},
        {"Escape", ModalDriver::PressEscape()},
        {"close box", ModalDriver::CloseBox()},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        result_ = kUntouched;
        // A box is ticked first, so a choice that leaked out would show in the result.
        user.Then([&](HWND dialog) {
            ::SendDlgItemMessageA(dialog, IDC_CPU_FIRST, BM_CLICK, 0, 0);
            way.leave(dialog);
        });
        EXPECT_FALSE(Show(0x3, 0));
        EXPECT_EQ(kUntouched, result_);
    }
    ExpectAllAnswered();
}

TEST_F(ProcessorDialogTest, EndsAtOnceAsACancelWhenItsObjectCannotBeMade) {
    // Should the dialog be shown anyway, nothing in it could end it: end it from outside.
    bool shownWithoutObject = false;
    user.Then([&](HWND dialog) {
        shownWithoutObject = true;
        ::EndDialog(dialog, IDCANCEL);
    });
    failNextNothrowAllocation = true;
    nothrowAllocationFailed = false;
    EXPECT_FALSE(Show(0x3, 0x1));
    failNextNothrowAllocation = false;
    EXPECT_TRUE(nothrowAllocationFailed) << "the dialog's object was not made with new (nothrow)";
    EXPECT_FALSE(shownWithoutObject);
    EXPECT_EQ(kUntouched, result_);
}

namespace {
// Answers as a system whose cores are of several classes, which Wine cannot pretend, or as one
// whose topology call fails.
class FakeTopology : public TopologyPlatform {
  public:
    struct Core {
        AffinityMask processors;
        BYTE efficiencyClass;
    };
    explicit FakeTopology(std::vector<Core> cores) : cores_(std::move(cores)) {}

    BOOL LogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX* buffer,
                                     DWORD* length) override {
        if (cores_.empty()) {
            ::SetLastError(ERROR_INVALID_FUNCTION);
            return FALSE;
        }
        constexpr DWORD kRecord = offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor) +
                                  sizeof(PROCESSOR_RELATIONSHIP);
        const DWORD needed = static_cast<DWORD>(cores_.size()) * kRecord;
        if (buffer == nullptr || *length < needed) {
            *length = needed;
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        auto* bytes = reinterpret_cast<BYTE*>(buffer);
        std::memset(bytes, 0, needed);
        for (const Core& core : cores_) {
            auto* record = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(bytes);
            record->Relationship = RelationProcessorCore;
            record->Size = kRecord;
            record->Processor.Flags = ProcessorCount(core.processors) > 1 ? LTP_PC_SMT : 0;
            record->Processor.Reserved[0] = core.efficiencyClass; // EfficiencyClass
            record->Processor.GroupCount = 1;
            record->Processor.GroupMask[0].Mask = core.processors;
            bytes += kRecord;
        }
        *length = needed;
        return TRUE;
    }

  private:
    std::vector<Core> cores_;
};
} // namespace

TEST_F(ProcessorDialogTest, CoreClassesAreOfferedAndAFailingTopologyLeavesTheTemplate) {
    const struct {
        const char* machine;
        DWORD_PTR active;
        std::vector<FakeTopology::Core> cores; // none: the call fails
        std::vector<std::string> entries;
        std::vector<AffinityMask> ticks;
        int described;
        std::string description;
    } machines[] = {
        {"two classes",
         0xFF,
         {{0x01, 1}, {0x02, 1}, {0x04, 1}, {0x08, 1}, {0x10, 0}, {0x20, 0}, {0x40, 0}, {0x80, 0}},
         {"All processors", "Performance cores", "Efficiency cores"},
         {0xFF, 0x0F, 0xF0},
         5,
         "CPU 5: core 5, efficiency class 0"},
        {"three classes",
         0x3F,
         {{0x03, 2}, {0x04, 1}, {0x08, 1}, {0x10, 0}, {0x20, 0}},
         {"All processors", "One thread per core", "Performance cores", "Efficiency cores"},
         {0x3F, 0x3D, 0x03, 0x3C},
         1,
         "CPU 1: core 0 (2 threads), efficiency class 2"},
        {"failing call", 0x3, {}, {}, {}, 0, ""},
    };
    for (const auto& machine : machines) {
        SCOPED_TRACE(machine.machine);
        FakeTopology topology(machine.cores);
        ScopedTopologyPlatform scoped(topology);
        ProcessorDialogView view;
        OpenList open;
        std::vector<AffinityMask> ticked;
        user.Then([&](HWND dialog) {
            view = ReadProcessorDialog(dialog);
            open = OpenSelectorList(dialog);
            for (size_t i = 0; i < view.entries.size(); ++i) {
                ChooseWithArrowKeys(dialog, static_cast<int>(i));
                ticked.push_back(TickedProcessors(dialog));
            }
            if (view.entries.empty())
                ::SendDlgItemMessageA(dialog, IDC_CPU_FIRST + 1, BM_CLICK, 0, 0);
            ModalDriver::Click(IDOK)(dialog);
        });
        EXPECT_TRUE(Show(machine.active, 0));
        EXPECT_EQ(machine.entries, view.entries);
        EXPECT_EQ(machine.ticks, ticked);
        // Every entry whole, and no room for another.
        EXPECT_EQ(static_cast<int>(machine.entries.size()), open.wholeEntries);
        EXPECT_EQ(0, open.pixelsLeft);
        if (machine.cores.empty()) {
            EXPECT_EQ(35, view.controls);
            EXPECT_TRUE(view.tooltips.empty());
            EXPECT_EQ(AffinityMask{0x2}, result_);
        } else {
            EXPECT_EQ(machine.description, view.tooltips[machine.described]);
            EXPECT_EQ(machine.ticks.back(), result_);
        }
    }
    ExpectAllAnswered();
}
