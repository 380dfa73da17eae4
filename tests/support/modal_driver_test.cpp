// The driver that the window tests rely on: it must see and answer what the code shows.
#include "modal_driver.h"

#include <gtest/gtest.h>

TEST(ModalDriver, ReadsAndAnswersAMessageBox) {
    ModalDriver user;
    user.Then(ModalDriver::Click(IDNO));
    int answer = ::MessageBoxA(nullptr, "Really?", "Caption", MB_YESNO | MB_ICONWARNING);
    EXPECT_EQ(IDNO, answer);
    ASSERT_EQ(1u, user.shown().size());
    const ShownDialog& box = user.shown()[0];
    EXPECT_EQ("Caption", box.caption);
    EXPECT_EQ("Really?", box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), box.icon);
    EXPECT_EQ((std::vector<int>{IDYES, IDNO}), box.buttons);
}

TEST(ModalDriver, CancelsWhatNobodyExpected) {
    ModalDriver user;
    ::MessageBoxA(nullptr, "Surprise", "Caption", MB_OK | MB_ICONERROR);
    ASSERT_EQ(1u, user.shown().size());
    EXPECT_FALSE(user.shown()[0].expected);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), user.shown()[0].icon);
}

TEST(ModalDriver, AnswersNestedBoxesInOrder) {
    ModalDriver user;
    user.Then([](HWND outer) {
        ::MessageBoxA(outer, "inner", "second", MB_OK);
        ModalDriver::Click(IDOK)(outer);
    });
    user.Then(ModalDriver::Click(IDOK));
    ::MessageBoxA(nullptr, "outer", "first", MB_OK);
    ASSERT_EQ(2u, user.shown().size());
    EXPECT_EQ("first", user.shown()[0].caption);
    EXPECT_EQ("second", user.shown()[1].caption);
    EXPECT_EQ(0u, user.pendingActions());
}
