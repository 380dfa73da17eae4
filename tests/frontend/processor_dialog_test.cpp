// The processor dialog as a user meets it: opened from its real template, answered from a timer
// on this thread with clicks and keys, with the machine's processors chosen through the back
// end's platform.
#include "processor_dialog.h"

#include "affinity_platform.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
constexpr char dialogCaption[] = "Processor Affinity";
constexpr char messageBoxCaption[] = "Tandrel Pro";
constexpr unsigned long untouched = 0xDEADBEEF;
constexpr UINT tickMilliseconds = 20;
// Not a time limit on the dialog: only a way out when a fault keeps a window open for ever.
constexpr int ticksBeforeGivingUp = 500;

std::string WindowText(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string ClassName(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof(name));
    return name;
}

struct WindowSearch {
    const char* caption; // nullptr: any dialog window
    HWND found;
};

BOOL CALLBACK MatchDialogWindow(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<WindowSearch*>(search);
    if (ClassName(window) != "#32770" || !::IsWindowVisible(window))
        return TRUE;
    if (wanted->caption && (WindowText(window) != wanted->caption || !::IsWindowEnabled(window)))
        return TRUE;
    wanted->found = window;
    return FALSE;
}

// A shown, enabled dialog window of this thread with the caption, or any shown dialog window.
HWND FindDialogWindow(const char* caption) {
    WindowSearch search{caption, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), MatchDialogWindow,
                        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Answers the modal windows of this thread from a timer, one step per window, the way a user
// would: each step waits until its window is shown and accepts input, then acts on it.
class ModalScript {
  public:
    ModalScript& On(const char* caption, std::function<void(HWND)> action) {
        steps_.push_back({caption, std::move(action)});
        return *this;
    }

    // Runs `open`, which returns when its modal windows have ended.
    void Run(const std::function<void()>& open) {
        active_ = this;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, tickMilliseconds, Tick);
        open();
        ::KillTimer(nullptr, timer);
        active_ = nullptr;
        EXPECT_EQ(steps_.size(), next_) << "steps left unanswered";
    }

  private:
    struct Step {
        const char* caption;
        std::function<void(HWND)> action;
    };

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (active_)
            active_->Advance();
    }

    void Advance() {
        if (acting_)
            return;
        // After the last step no window of ours should stay: if one does, it is waited for too.
        const bool done = next_ == steps_.size();
        const HWND window = FindDialogWindow(done ? nullptr : steps_[next_].caption);
        if (!window || done) {
            if (window && ++waited_ > ticksBeforeGivingUp)
                GiveUp("a dialog window stayed open after the last step: " + WindowText(window));
            else if (!window && !done && ++waited_ > ticksBeforeGivingUp)
                GiveUp(std::string("no window \"") + steps_[next_].caption + "\" appeared");
            return;
        }
        waited_ = 0;
        acting_ = true;
        steps_[next_++].action(window);
        acting_ = false;
    }

    void GiveUp(const std::string& why) {
        ADD_FAILURE() << why;
        next_ = steps_.size();
        waited_ = 0;
        while (const HWND window = FindDialogWindow(nullptr))
            ::EndDialog(window, IDCANCEL);
    }

    static inline ModalScript* active_ = nullptr;
    std::vector<Step> steps_;
    size_t next_ = 0;
    int waited_ = 0;
    bool acting_ = false;
};

// A click is posted, so it reaches the control through the dialog's own message loop.
void Click(HWND dialog, int controlId) {
    ::PostMessageA(::GetDlgItem(dialog, controlId), BM_CLICK, 0, 0);
}

void PressKey(HWND dialog, WPARAM key) {
    HWND target = ::GetFocus();
    if (!target || (target != dialog && !::IsChild(dialog, target)))
        target = dialog;
    ::PostMessageA(target, WM_KEYDOWN, key, 1);
    ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
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

struct ShownMessageBox {
    std::string caption;
    std::string text;
    HICON icon = nullptr;
    std::vector<std::string> buttons;
};

BOOL CALLBACK ReadMessageBoxChild(HWND child, LPARAM shown) {
    auto* box = reinterpret_cast<ShownMessageBox*>(shown);
    const std::string className = ClassName(child);
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    if (className == "Static" && (style & SS_TYPEMASK) == SS_ICON)
        box->icon = reinterpret_cast<HICON>(::SendMessageA(child, STM_GETICON, 0, 0));
    else if (className == "Static" && !WindowText(child).empty())
        box->text = WindowText(child);
    else if (className == "Button" && ::IsWindowVisible(child))
        box->buttons.push_back(WindowText(child));
    return TRUE;
}

ShownMessageBox ReadMessageBox(HWND window) {
    ShownMessageBox box;
    box.caption = WindowText(window);
    ::EnumChildWindows(window, ReadMessageBoxChild, reinterpret_cast<LPARAM>(&box));
    return box;
}

// Stands in for the machine's processors.
class FakeProcessors : public AffinityPlatform {
  public:
    explicit FakeProcessors(DWORD_PTR active) : active_(active) {}
    DWORD_PTR ActiveProcessorMask() override { return active_; }

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

    // Opens the dialog on a machine with the given processors and runs the script against it.
    bool Show(DWORD_PTR activeProcessors, unsigned long initialMask, ModalScript& script) {
        FakeProcessors processors(activeProcessors);
        ScopedAffinityPlatform scoped(processors);
        bool confirmed = false;
        script.Run([&] { confirmed = ShowProcessorDialog(owner_, initialMask, &result_); });
        return confirmed;
    }

    HWND owner_ = nullptr;
    unsigned long result_ = untouched;
};
} // namespace

TEST_F(ProcessorDialogTest, EnablesExactlyTheBoxesOfTheActiveProcessors) {
    for (const DWORD_PTR active : {DWORD_PTR{0x3}, DWORD_PTR{0x80010005}, DWORD_PTR{0xFFFFFFFF}}) {
        SCOPED_TRACE(testing::Message() << "active processors 0x" << std::hex << active);
        Boxes boxes;
        HWND shownOwner = nullptr;
        ModalScript script;
        script.On(dialogCaption, [&](HWND dialog) {
            boxes = ReadBoxes(dialog);
            shownOwner = ::GetWindow(dialog, GW_OWNER);
            Click(dialog, IDCANCEL);
        });
        EXPECT_FALSE(Show(active, 0, script));
        EXPECT_EQ(static_cast<unsigned long>(active), boxes.enabled);
        EXPECT_EQ(0ul, boxes.checked);
        EXPECT_EQ(owner_, shownOwner);
    }
}

TEST_F(ProcessorDialogTest, ChecksOnlyInitialBitsOfPresentProcessors) {
    Boxes boxes;
    ModalScript script;
    script.On(dialogCaption, [&](HWND dialog) {
        boxes = ReadBoxes(dialog);
        Click(dialog, IDOK);
    });
    EXPECT_TRUE(Show(0x3, 0xFFFFFFFE, script));
    EXPECT_EQ(0x3ul, boxes.enabled);
    EXPECT_EQ(0x2ul, boxes.checked);
    EXPECT_EQ(0x2ul, result_);
}

TEST_F(ProcessorDialogTest, OkWithNoBoxCheckedWarnsAndStaysOpen) {
    ShownMessageBox warning;
    Boxes afterWarning;
    bool openAfterWarning = false;
    ModalScript script;
    script.On(dialogCaption, [](HWND dialog) { Click(dialog, IDOK); })
        .On(messageBoxCaption,
            [&](HWND box) {
                warning = ReadMessageBox(box);
                Click(box, IDOK);
            })
        .On(dialogCaption, [&](HWND dialog) {
            openAfterWarning = ::IsWindowVisible(dialog) != FALSE;
            afterWarning = ReadBoxes(dialog);
            Click(dialog, IDCANCEL);
        });

    EXPECT_FALSE(Show(0x3, 0, script));
    EXPECT_EQ("Tandrel Pro", warning.caption);
    EXPECT_EQ("You must select at least one CPU.", warning.text);
    EXPECT_EQ(::LoadIconA(nullptr, IDI_WARNING), warning.icon);
    EXPECT_EQ(std::vector<std::string>{"OK"}, warning.buttons);
    EXPECT_TRUE(openAfterWarning);
    EXPECT_EQ(0x3ul, afterWarning.enabled);
    EXPECT_EQ(0ul, afterWarning.checked);
    EXPECT_EQ(untouched, result_);
}

TEST_F(ProcessorDialogTest, CheckingCpu0AndCpu1GivesMask3) {
    ModalScript script;
    script.On(dialogCaption, [](HWND dialog) {
        Click(dialog, IDC_CPU_FIRST);
        Click(dialog, IDC_CPU_FIRST + 1);
        Click(dialog, IDOK);
    });
    EXPECT_TRUE(Show(0x3, 0, script));
    EXPECT_EQ(0x3ul, result_);
}

TEST_F(ProcessorDialogTest, EnterConfirmsLikeOk) {
    ModalScript script;
    script.On(dialogCaption, [](HWND dialog) {
        Click(dialog, IDC_CPU_FIRST + 1);
        PressKey(dialog, VK_RETURN);
    });
    EXPECT_TRUE(Show(0x3, 0, script));
    EXPECT_EQ(0x2ul, result_);
}

TEST_F(ProcessorDialogTest, AllBoxesOfA32ProcessorMachineGiveEveryBit) {
    ModalScript script;
    script.On(dialogCaption, [](HWND dialog) {
        for (int k = 0; k < 32; ++k)
            Click(dialog, IDC_CPU_FIRST + k);
        Click(dialog, IDOK);
    });
    EXPECT_TRUE(Show(0xFFFFFFFF, 0, script));
    EXPECT_EQ(0xFFFFFFFFul, result_);
}

TEST_F(ProcessorDialogTest, CancelEscapeAndTheCloseBoxLeaveTheResultAsItWas) {
    const struct {
        const char* way;
        std::function<void(HWND)> leave;
    } ways[] = {
        {"Cancel", [](HWND dialog) { Click(dialog, IDCANCEL); }},
        {"Escape", [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }},
        {"close box", [](HWND dialog) { ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        result_ = untouched;
        ModalScript script;
        script.On(dialogCaption, [&](HWND dialog) {
            Click(dialog, IDC_CPU_FIRST); // a choice that must not reach the caller
            way.leave(dialog);
        });
        EXPECT_FALSE(Show(0x3, 0, script));
        EXPECT_EQ(untouched, result_);
    }
}

TEST_F(ProcessorDialogTest, EndsAtOnceAsACancelWhenItsObjectCannotBeMade) {
    failNextNothrowAllocation = true;
    nothrowAllocationFailed = false;
    ModalScript script; // no steps: the dialog must never be shown
    EXPECT_FALSE(Show(0x3, 0x1, script));
    failNextNothrowAllocation = false;
    EXPECT_TRUE(nothrowAllocationFailed) << "the dialog's object was not made with new (nothrow)";
    EXPECT_EQ(untouched, result_);
}
