// Tandrel Pro on machines that Wine pretends to be (pretend-machine.sh, which gives the processor
// count in TANDREL_PRETEND_PROCESSORS): with 48 or 64 processors the list, the processor dialog,
// Isolate, Reset and the scripts' methods reach those above 31; with one the program refuses.
#include "backend_server.h"
#include "main_window_fixture.h"
#include "pid_arrays.h"
#include "frontend/resource.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int PretendProcessors() {
    char text[16] = {};
    ::GetEnvironmentVariableA("TANDREL_PRETEND_PROCESSORS", text, sizeof(text));
    return std::atoi(text);
}

// Processors first to last - 1.
AffinityMask Processors(int first, int last) {
    const AffinityMask upTo = last >= kMaskProcessors ? ~AffinityMask{0} : ProcessorBit(last) - 1;
    return upTo & ~(ProcessorBit(first) - 1);
}

RECT PlaceInDialog(HWND dialog, int controlId) {
    RECT place{};
    ::GetWindowRect(::GetDlgItem(dialog, controlId), &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// A box for every processor a mask can name, enabled for those the machine has; those above 31
// each beside the box eight processors before, as the template's columns stand, and left of
// Cancel's right edge; the tab order runs down the boxes, then to OK.
void ExpectEveryProcessorsBox(HWND dialog, int processors) {
    const int pitch = PlaceInDialog(dialog, IDC_CPU_FIRST + 24).left -
                      PlaceInDialog(dialog, IDC_CPU_FIRST + 16).left;
    for (int k = 0; k < kMaskProcessors; ++k) {
        SCOPED_TRACE("CPU " + std::to_string(k));
        const HWND box = ::GetDlgItem(dialog, IDC_CPU_FIRST + k);
        char text[16] = {};
        ::GetWindowTextA(box, text, sizeof(text));
        EXPECT_EQ("CPU " + std::to_string(k), std::string(text));
        EXPECT_EQ(k < processors, ::IsWindowEnabled(box) != FALSE);
        EXPECT_EQ(::GetDlgItem(dialog, k + 1 < kMaskProcessors ? IDC_CPU_FIRST + k + 1 : IDOK),
                  ::GetWindow(box, GW_HWNDNEXT));
        const RECT place = PlaceInDialog(dialog, IDC_CPU_FIRST + k);
        EXPECT_LE(place.right, PlaceInDialog(dialog, IDCANCEL).right);
        if (k >= 32) {
            const RECT left = PlaceInDialog(dialog, IDC_CPU_FIRST + k - 8);
            EXPECT_EQ(left.left + pitch, place.left);
            EXPECT_EQ(left.top, place.top);
        }
    }
}

class WideMachine : public MainWindowTest {
  protected:
    void SetUp() override {
        processors_ = PretendProcessors();
        ASSERT_GT(processors_, 32) << "to be run by pretend-machine.sh on a wide machine";
        all_ = Processors(0, processors_);
        SYSTEM_INFO info{};
        ::GetSystemInfo(&info);
        ASSERT_EQ(all_, info.dwActiveProcessorMask);
        MainWindowTest::SetUp();
    }

    std::string Last() const { return std::to_string(processors_ - 1); }

    int processors_ = 0;
    AffinityMask all_ = 0;
};

} // namespace

TEST_F(WideMachine, ListDialogIsolateAndResetReachEveryProcessor) {
    const struct {
        AffinityMask mask;
        std::string text;
    } cases[] = {{all_, "0-" + Last()},
                 {ProcessorBit(32) | Processors(40, 48), "32,40-47"},
                 {Processors(30, 34), "30-33"}};
    std::vector<HelperProcess> helpers = StartHelpers(3);
    for (size_t i = 0; i < helpers.size(); ++i)
        ASSERT_TRUE(helpers[i].SetMask(cases[i].mask));
    OpenWindow();
    for (size_t i = 0; i < helpers.size(); ++i) {
        ASSERT_NE(nullptr, RowFor(helpers[i].pid()));
        EXPECT_EQ(cases[i].text, RowFor(helpers[i].pid())->mask);
    }

    Select({helpers[0].pid()});
    MenuDriver menus;
    menus.ThenChoose(ID_ISOLATE_ON_CPUS);
    ModalDriver dialogs;
    dialogs.Then([&](HWND dialog) {
        ExpectEveryProcessorsBox(dialog, processors_);
        ::SendMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); // nothing ticked yet
        ModalDriver::Check({IDC_CPU_FIRST + 40}, IDOK)(dialog);
    });
    dialogs.Then(ModalDriver::Click(IDOK));  // the warning
    dialogs.Then(ModalDriver::Click(IDYES)); // the reset question
    ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
    PumpMessages();

    ASSERT_EQ(2u, dialogs.shown().size());
    EXPECT_EQ("You must select at least one CPU.", dialogs.shown()[1].text);
    EXPECT_EQ(ProcessorBit(40), helpers[0].mask());
    EXPECT_EQ(all_ & ~ProcessorBit(40), helpers[1].mask());
    EXPECT_EQ("0-39,41-" + Last(), RowFor(helpers[1].pid())->mask);

    ClickButton(IDC_RESET);
    EXPECT_EQ(all_, helpers[0].mask());
    EXPECT_EQ("0-" + Last(), RowFor(helpers[0].pid())->mask);
}

TEST_F(WideMachine, ScriptMasksNameProcessors0To31) {
    ComApartment apartment;
    BackendServer server;
    ComPtr<IAffinityManager> manager = server.CreateManager();
    ASSERT_TRUE(manager);
    std::vector<HelperProcess> helpers = StartHelpers(2);
    const LONG first = static_cast<LONG>(helpers[0].pid());
    UniqueSafeArray firstOnly = NumberArray(VT_I4, {first});
    const VARIANT firstArgument = ArrayArgument(firstOnly.get(), VT_ARRAY | VT_I4);
    // Bit 31 arrives as a negative number; widened with its sign it would name processors 32-63.
    const LONG cpus0And31 = LONG_MIN | 1;
    ModalDriver user; // OK on the diagnostic boxes of MoveProcesses and IsolateProcesses
    for (int box = 0; box < 8; ++box)
        user.Then(ModalDriver::Click(IDOK));

    LONG read = 0;
    EXPECT_EQ(E_FAIL, manager->GenerateAllProcessorsMask(&read));
    EXPECT_EQ(E_FAIL, manager->GetProcessAffinity(first, &read));
    EXPECT_EQ(S_OK, manager->SetProcessAffinity(first, cpus0And31));
    EXPECT_EQ(ProcessorBit(0) | ProcessorBit(31), helpers[0].mask());
    EXPECT_EQ(S_OK, manager->MoveAllProcesses(2));
    EXPECT_EQ(ProcessorBit(1), helpers[0].mask());
    EXPECT_EQ(S_OK, manager->MoveProcesses(firstArgument, cpus0And31));
    EXPECT_EQ(ProcessorBit(0) | ProcessorBit(31), helpers[0].mask());
    EXPECT_EQ(S_OK, manager->IsolateProcesses(firstArgument, 1));
    EXPECT_EQ(ProcessorBit(0), helpers[0].mask());
    EXPECT_EQ(all_ & ~ProcessorBit(0), helpers[1].mask());
}

// The built program, started as the user starts it.
TEST(OnePretendProcessor, ProgramShowsOnlyTheProcessorCountBoxAndEnds) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    ASSERT_EQ(1u, info.dwNumberOfProcessors) << "to be run by pretend-machine.sh on processor 0";
    HelperProcess program(ProgramDirectory() + "..\\..\\bin\\Tandrel Pro.exe");
    HWND box = nullptr;
    for (int wait = 0; wait < 600 && box == nullptr; ++wait, ::Sleep(50))
        box = ::FindWindowA(nullptr, "Tandrel Pro");
    ASSERT_NE(nullptr, box);
    char text[128] = {};
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof(text)); // a message box's text; no main window's
    EXPECT_STREQ("Tandrel must run on a system with 2 or more processors.", text);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(program.handle(), 30000));
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(program.handle(), &code);
    EXPECT_EQ(0u, code);
}
