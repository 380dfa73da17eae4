// The main window from its real template on the test's thread, real helper processes with names
// of the test's choosing, and the list as the user reads it.
#pragma once

#include "helper_processes.h"
#include "menu_driver.h"
#include "modal_driver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

struct ListRow {
    std::string process;
    std::string pid;
    std::string mask;
    unsigned long itemData = 0;
    bool selected = false;
};

std::vector<ListRow> ReadRows(HWND listView);

// The row whose item data is the process identifier, or -1.
int RowOf(HWND listView, unsigned long processId);

// A copy of waiter.exe under the given file name in a directory of the test's own.
HelperProcess StartNamedHelper(const std::string& fileName);

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window as start-up does; its list holds the processes running now.
    void OpenWindow();
    // Selects exactly the rows of these processes.
    void Select(const std::vector<unsigned long>& processIds);
    void ClickButton(int controlId);
    const ListRow* RowFor(unsigned long processId);
    std::vector<ListRow> rows() { return ReadRows(list_); }

    HWND window_ = nullptr;
    HWND list_ = nullptr;
    std::vector<ListRow> rowsCache_;
};
