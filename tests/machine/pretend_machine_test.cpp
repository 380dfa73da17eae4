// Tandrel Pro on machines that Wine pretends to be (pretend-machine.sh, which names the processor
// count in TANDREL_PRETEND_PROCESSORS): one with 48 or 64 processors, where the list, the
// processor dialog, Reset, Isolate and the scripts' methods reach the processors above 31, and
// one with a single processor, on which the program refuses to start.
#include "backend_server.h"
#include "engine/affinity.h"
#include "main_window_fixture.h"
#include "pid_arrays.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr LONG kSentinel = 0x5A5A5A5A;

int PretendProcessors() {
    char text[16] = {};
    ::GetEnvironmentVariableA("TANDREL_PRETEND_PROCESSORS", text, sizeof(text));
    return std::atoi(text);
}

SYSTEM_INFO SystemInfo() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info;
}

// Processors first to last - 1.
AffinityMask Processors(int first, int last) {
    const AffinityMask upTo = last >= kMaskProcessors ? ~AffinityMask{0} : ProcessorBit(last) - 1;
    return upTo & ~(ProcessorBit(first) - 1);
}

RECT PlaceInDialog(HWND dialog, HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

HWND Box(HWND dialog, int processor) {
    return ::GetDlgItem(dialog, IDC_CPU_FIRST + processor);
}

std::string TextOf(HWND window) {
    char text[64] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

class WideMachine : public MainWindowTest {
  protected:
    void SetUp() override {
        processors_ = PretendProcessors();
        ASSERT_GT(processors_, 32) << "to be run by pretend-machine.sh on a wide machine";
        const SYSTEM_INFO info = SystemInfo();
        ASSERT_EQ(static_cast<DWORD>(processors_), info.dwNumberOfProcessors);
        all_ = Processors(0, processors_);
        ASSERT_EQ(all_, info.dwActiveProcessorMask);
        MainWindowTest::SetUp();
    }

    // The selected rows' context menu, the command, then `answer` in the processor dialog.
    std::vector<ShownDialog> ChooseProcessors(UINT command,
                                              std::vector<ModalDriver::Action> answers) {
        MenuDriver menus;
        menus.ThenChoose(command);
        ModalDriver dialogs;
        for (ModalDriver::Action& answer : answers)
            dialogs.Then(answer);
        ::SendMessageA(window_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window_), -1);
        PumpMessages();
        EXPECT_EQ(1u, menus.shown().size());
        return dialogs.shown();
    }

    std::string LastProcessor() const { return std::to_string(processors_ - 1); }

    int processors_ = 0;
    AffinityMask all_ = 0;
};

} // namespace

TEST_F(WideMachine, ListShowsEveryProcessorOfEachMask) {
    const struct {
        AffinityMask mask;
        std::string text;
    } cases[] = {
        {all_, "0-" + LastProcessor()},
        {ProcessorBit(32) | Processors(40, 48), "32,40-47"},
        {Processors(30, 34), "30-33"},
        {ProcessorBit(processors_ - 1), LastProcessor()},
    };
    std::vector<HelperProcess> helpers = StartHelpers(static_cast<int>(std::size(cases)));
    for (size_t i = 0; i < helpers.size(); ++i)
        ASSERT_TRUE(helpers[i].SetMask(cases[i].mask));
    OpenWindow();
    for (size_t i = 0; i < helpers.size(); ++i) {
        const ListRow* row = RowFor(helpers[i].pid());
        ASSERT_NE(nullptr, row);
        EXPECT_EQ(cases[i].text, row->mask);
    }
}

// Every processor a mask can name has its box, in columns of the template's kind after its own,
// enabled when the machine has the processor; OK with none ticked still warns.
TEST_F(WideMachine, DialogOffersEveryProcessorAndMovesOntoCpu40) {
    HelperProcess helper;
    OpenWindow();
    Select({helper.pid()});
    auto readBoxes = [&](HWND dialog) {
        RECT client{};
        ::GetClientRect(dialog, &client);
        const int pitch = PlaceInDialog(dialog, Box(dialog, 24)).left -
                          PlaceInDialog(dialog, Box(dialog, 16)).left;
        const RECT cancel = PlaceInDialog(dialog, ::GetDlgItem(dialog, IDCANCEL));
        for (int k = 0; k < kMaskProcessors; ++k) {
            SCOPED_TRACE("CPU " + std::to_string(k));
            const HWND box = Box(dialog, k);
            ASSERT_NE(nullptr, box);
            EXPECT_EQ("CPU " + std::to_string(k), TextOf(box));
            EXPECT_EQ(k < processors_, ::IsWindowEnabled(box) != FALSE);
            const RECT place = PlaceInDialog(dialog, box);
            EXPECT_TRUE(place.left >= 0 && place.right <= cancel.right &&
                        place.bottom <= client.bottom);
            // The tab order runs down the boxes, then to OK.
            const HWND next = ::GetWindow(box, GW_HWNDNEXT);
            EXPECT_EQ(k + 1 < kMaskProcessors ? Box(dialog, k + 1) : ::GetDlgItem(dialog, IDOK),
                      next);
            if (k < 32)
                continue;
            // Beside the box eight processors before, as the template's columns stand.
            const RECT left = PlaceInDialog(dialog, Box(dialog, k - 8));
            EXPECT_EQ(left.left + pitch, place.left);
            EXPECT_EQ(left.top, place.top);
            EXPECT_EQ(left.bottom - left.top, place.bottom - place.top);
        }
        ::SendMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); // nothing ticked yet
        ModalDriver::Check({IDC_CPU_FIRST + 40}, IDOK)(dialog);
    };

    std::vector<ShownDialog> shown =
        ChooseProcessors(ID_MOVE_TO_CPUS, {readBoxes, ModalDriver::Click(IDOK)});

    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ("You must select at least one CPU.", shown[1].text);
    EXPECT_EQ(ProcessorBit(40), helper.mask());
    ASSERT_NE(nullptr, RowFor(helper.pid()));
    EXPECT_EQ("40", RowFor(helper.pid())->mask);
}

TEST_F(WideMachine, ResetGivesEveryProcessEveryProcessor) {
    HelperProcess helper;
    ASSERT_TRUE(helper.SetMask(1));
    OpenWindow();
    ModalDriver dialogs;
    dialogs.Then(ModalDriver::Click(IDYES));

    ClickButton(IDC_RESET);

    ASSERT_EQ(1u, dialogs.shown().size());
    EXPECT_EQ(all_, helper.mask());
    ASSERT_NE(nullptr, RowFor(helper.pid()));
    EXPECT_EQ("0-" + LastProcessor(), RowFor(helper.pid())->mask);
}

TEST_F(WideMachine, IsolateGivesTheOthersEveryProcessorOutsideTheChosen) {
    std::vector<HelperProcess> helpers = StartHelpers(2);
    OpenWindow();
    Select({helpers[0].pid()});

    ChooseProcessors(ID_ISOLATE_ON_CPUS, {ModalDriver::Check({IDC_CPU_FIRST + 40}, IDOK)});

    EXPECT_EQ(ProcessorBit(40), helpers[0].mask());
    EXPECT_EQ(all_ & ~ProcessorBit(40), helpers[1].mask());
    ASSERT_NE(nullptr, RowFor(helpers[1].pid()));
    EXPECT_EQ("0-39,41-" + LastProcessor(), RowFor(helpers[1].pid())->mask);
}

// Scripts keep 32-bit masks for processors 0 to 31: a mask naming processors above 31 is not
// handed out, the masks scripts give are applied bit for bit, and isolation still gives the
// others every processor outside the chosen ones.
TEST_F(WideMachine, ScriptMethodsKeepTheirMasksAndIsolateOntoEveryOtherProcessor) {
    ComApartment apartment;
    BackendServer server;
    ComPtr<IAffinityManager> manager = server.CreateManager();
    ASSERT_TRUE(manager);
    std::vector<HelperProcess> helpers = StartHelpers(2);
    const LONG first = static_cast<LONG>(helpers[0].pid());
    UniqueSafeArray firstOnly = NumberArray(VT_I4, {first});
    // Bit 31 arrives as a negative number; widened with its sign it would name processors 32-63.
    const LONG cpus0And31 = LONG_MIN | 1;
    const AffinityMask bits0And31 = ProcessorBit(0) | ProcessorBit(31);
    LONG read = kSentinel;
    // The PIDArray methods show their diagnostic boxes; OK answers each.
    auto answeringBoxes = [](std::function<HRESULT()> call) {
        ModalDriver user;
        for (int box = 0; box < 4; ++box)
            user.Then(ModalDriver::Click(IDOK));
        return call();
    };

    const struct {
        const char* call;
        std::function<HRESULT()> run;
        HRESULT result;
        AffinityMask firstMask, secondMask;
    } steps[] = {
        {"GenerateAllProcessorsMask", [&] { return manager->GenerateAllProcessorsMask(&read); },
         E_FAIL, all_, all_},
        {"GetProcessAffinity of all", [&] { return manager->GetProcessAffinity(first, &read); },
         E_FAIL, all_, all_},
        {"SetProcessAffinity", [&] { return manager->SetProcessAffinity(first, cpus0And31); }, S_OK,
         bits0And31, all_},
        {"MoveAllProcesses", [&] { return manager->MoveAllProcesses(2); }, S_OK, 2, 2},
        {"MoveProcesses",
         [&] {
             return answeringBoxes([&] {
                 return manager->MoveProcesses(ArrayArgument(firstOnly.get(), VT_ARRAY | VT_I4),
                                               cpus0And31);
             });
         },
         S_OK, bits0And31, 2},
        {"IsolateProcesses",
         [&] {
             return answeringBoxes([&] {
                 return manager->IsolateProcesses(ArrayArgument(firstOnly.get(), VT_ARRAY | VT_I4),
                                                  1);
             });
         },
         S_OK, 1, all_ & ~AffinityMask{1}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.call);
        EXPECT_EQ(step.result, step.run());
        EXPECT_EQ(kSentinel, read);
        EXPECT_EQ(step.firstMask, helpers[0].mask());
        EXPECT_EQ(step.secondMask, helpers[1].mask());
    }
    EXPECT_EQ(all_ & ~AffinityMask{1}, MaskOf(::GetCurrentProcess()));
    EXPECT_EQ(S_OK, manager->GetProcessAffinity(first, &read));
    EXPECT_EQ(1, read);
}

// The built program, started as the user starts it, on a machine with one processor.
TEST(OnePretendProcessor, ProgramShowsOnlyTheProcessorCountBoxAndEnds) {
    ASSERT_EQ(1, PretendProcessors()) << "to be run by pretend-machine.sh with processor 0 only";
    ASSERT_EQ(1u, SystemInfo().dwNumberOfProcessors);
    HelperProcess program(TestProgramDirectory() + "..\\..\\bin\\Tandrel Pro.exe");
    HWND box = nullptr;
    for (int wait = 0; wait < 600 && box == nullptr; ++wait) {
        box = ::FindWindowA(nullptr, "Tandrel Pro");
        if (box == nullptr)
            ::Sleep(50);
    }
    ASSERT_NE(nullptr, box);
    // A message box's text is its static control 0xFFFF; the main window has none.
    char text[128] = {};
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    EXPECT_STREQ("Tandrel must run on a system with 2 or more processors.", text);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(program.handle(), 30000));
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(program.handle(), &code);
    EXPECT_EQ(0u, code);
}
