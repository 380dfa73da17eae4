// Start-up in a program that lacks the main window's template, so that the window cannot be made.
#include "modal_driver.h"
#include "frontend/startup.h"

#include <gtest/gtest.h>

TEST(StartupFailure, MissingWindowShowsTheErrorAndEndsWithZero) {
    ModalDriver dialogs;
    HWND owner = reinterpret_cast<HWND>(1);
    dialogs.Then([&owner](HWND box) {
        owner = ::GetWindow(box, GW_OWNER);
        ModalDriver::Click(IDOK)(box);
    });

    EXPECT_EQ(0, RunProgram());

    ASSERT_EQ(1u, dialogs.shown().size());
    EXPECT_EQ("Tandrel Pro", dialogs.shown()[0].caption);
    EXPECT_EQ("Error creating main window.", dialogs.shown()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), dialogs.shown()[0].icon);
    EXPECT_EQ(std::vector<int>{IDOK}, dialogs.shown()[0].buttons);
    EXPECT_EQ(nullptr, owner);
    EXPECT_EQ(nullptr, ::FindWindowA(nullptr, "Tandrel Pro"));
}
