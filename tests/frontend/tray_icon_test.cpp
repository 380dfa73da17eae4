// Minimising to the notification area and coming back, on the main window from its real template.
// The shell keeps its icons in another process, so a stand-in records what would reach it.
#include "main_window_fixture.h"

#include "frontend/frontend_platform.h"
#include "frontend/main_window.h"
#include "frontend/resource.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

// The record's first layout ends with the 64-character tip: 88 bytes on i686, 104 on x86_64.
constexpr DWORD kFirstLayoutSize = offsetof(NOTIFYICONDATAA, szTip) + 64;

struct IconCall {
    DWORD message = 0xFFFFFFFF;
    NOTIFYICONDATAA record{};
};

class RecordingShell : public FrontendPlatform {
  public:
    BOOL NotifyIcon(DWORD message, NOTIFYICONDATAA* data) override {
        IconCall call;
        call.message = message;
        // Only the first layout's bytes belong to the caller.
        memcpy(&call.record, data, NOTIFYICONDATAA_V1_SIZE);
        calls.push_back(call);
        return TRUE;
    }
    std::vector<IconCall> calls;
};

class TrayIconTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        OpenWindow();
    }

    void ExpectHiddenWithIcon(size_t callsBefore) {
        EXPECT_FALSE(::IsWindowVisible(window_));
        // Hidden, not minimised to a task bar button.
        EXPECT_FALSE(::IsIconic(window_));
        ASSERT_EQ(callsBefore + 1, shell_.calls.size());
        const IconCall& call = shell_.calls.back();
        EXPECT_EQ(static_cast<DWORD>(NIM_ADD), call.message);
        EXPECT_EQ(kFirstLayoutSize, call.record.cbSize);
        EXPECT_EQ(window_, call.record.hWnd);
        EXPECT_EQ(31415u, call.record.uID);
        EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), call.record.uFlags);
        EXPECT_EQ(static_cast<UINT>(WM_USER + 1), call.record.uCallbackMessage);
        EXPECT_EQ(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN)),
                  call.record.hIcon);
        EXPECT_STREQ("Tandrel Pro", call.record.szTip);
    }

    void Minimise() {
        ::SendMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        PumpMessages();
    }

    RecordingShell shell_;
    ScopedFrontendPlatform useShell_{shell_};
};

} // namespace

TEST_F(TrayIconTest, MinimizeButtonHidesTheWindowBehindTheIcon) {
    ClickButton(IDC_MINIMIZE);
    ExpectHiddenWithIcon(0);
}

TEST_F(TrayIconTest, CaptionMinimiseHidesTheWindowBehindTheIcon) {
    // What the caption's minimise button sends.
    ::SendMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE, MAKELPARAM(100, 10));
    PumpMessages();
    ExpectHiddenWithIcon(0);
}

TEST_F(TrayIconTest, SystemMenuMinimizeHidesTheWindowBehindTheIcon) {
    MenuDriver menus;
    menus.ThenChoose(SC_MINIMIZE);
    // Alt+Space opens the system menu.
    ::PostMessageA(window_, WM_SYSCOMMAND, SC_KEYMENU, VK_SPACE);
    PumpMessages();
    ASSERT_EQ(1u, menus.shown().size());
    ExpectHiddenWithIcon(0);
}

TEST_F(TrayIconTest, OtherSystemCommandsAreLeftToTheSystem) {
    // Not exactly SC_MINIMIZE: the system minimises the window the ordinary way.
    ::SendMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE | 1, 0);
    PumpMessages();
    EXPECT_TRUE(shell_.calls.empty());
    EXPECT_TRUE(::IsWindowVisible(window_));
}

TEST_F(TrayIconTest, OnlyALeftDoubleClickOnTheIconRestores) {
    Minimise();
    ExpectHiddenWithIcon(0);
    const LPARAM ignored[] = {WM_LBUTTONDOWN,   WM_LBUTTONUP, WM_RBUTTONDOWN,  WM_RBUTTONUP,
                              WM_RBUTTONDBLCLK, WM_MOUSEMOVE, WM_MBUTTONDBLCLK};
    for (LPARAM mouse : ignored)
        ::SendMessageA(window_, WM_USER + 1, 31415, mouse);
    ::SendMessageA(window_, WM_USER + 1, 27182, WM_LBUTTONDBLCLK);
    PumpMessages();
    EXPECT_FALSE(::IsWindowVisible(window_));
    EXPECT_EQ(1u, shell_.calls.size());

    ::SendMessageA(window_, WM_USER + 1, 31415, WM_LBUTTONDBLCLK);
    PumpMessages();

    EXPECT_TRUE(::IsWindowVisible(window_));
    ASSERT_EQ(2u, shell_.calls.size());
    const IconCall& removal = shell_.calls.back();
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), removal.message);
    EXPECT_EQ(kFirstLayoutSize, removal.record.cbSize);
    EXPECT_EQ(window_, removal.record.hWnd);
    EXPECT_EQ(31415u, removal.record.uID);
    EXPECT_EQ(0u, removal.record.uFlags);
}

TEST_F(TrayIconTest, MinimisingAgainAddsTheSameIconAgain) {
    Minimise();
    ::SendMessageA(window_, WM_USER + 1, 31415, WM_LBUTTONDBLCLK);
    PumpMessages();
    Minimise();
    ExpectHiddenWithIcon(2);
}

TEST_F(TrayIconTest, RestoringShowsTheRowsOfTheLastRebuild) {
    std::vector<HelperProcess> helpers = StartHelpers(1);
    ClickButton(IDC_REFRESH);
    Minimise();
    ASSERT_TRUE(helpers[0].SetMask(2));
    ::SendMessageA(window_, WM_USER + 1, 31415, WM_LBUTTONDBLCLK);
    PumpMessages();
    ASSERT_NE(nullptr, RowFor(helpers[0].pid()));
    EXPECT_EQ("0-1", RowFor(helpers[0].pid())->mask);
}
