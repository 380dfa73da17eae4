// Plays the user for the diagnostic boxes that the automation object shows inside a script host's
// process: each message box captioned "bleh" or "blah" is recorded ("caption: text", one line
// each, in the order they appear) and its OK button pressed. Runs until STOP_FILE exists, and
// never longer than five minutes, so nothing outlives a cut-short run. READY_FILE is written once
// a window could be made in this session, that is once its display and desktop serve; a session
// where none can be made is told on the standard output, and the answerer ends with 3.
//
//   box_answerer LOG_FILE STOP_FILE READY_FILE
#include "modal_driver.h"

#include <cstdio>
#include <set>
#include <string>

namespace {
constexpr DWORD kPollMilliseconds = 50;
constexpr DWORD kLongestRunMilliseconds = 5 * 60 * 1000;

struct Answerer {
    std::FILE* log;
    std::set<HWND> answered;
};

BOOL CALLBACK AnswerBox(HWND window, LPARAM context) {
    auto& answerer = *reinterpret_cast<Answerer*>(context);
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (!::IsWindowVisible(window) || std::string(className) != "#32770" ||
        answerer.answered.count(window) != 0)
        return TRUE;
    ShownDialog box = ReadDialog(window);
    if (box.caption != "bleh" && box.caption != "blah")
        return TRUE;
    std::fprintf(answerer.log, "%s: %s\n", box.caption.c_str(), box.text.c_str());
    std::fflush(answerer.log);
    answerer.answered.insert(window);
    ::PostMessageA(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    return TRUE;
}
// A box can be shown here only if a window can be made: Wine starts the session's desktop for the
// first window, and without a display it makes none.
bool SessionServesWindows() {
    HWND probe = ::CreateWindowExA(0, "#32770", "box answerer", WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, nullptr, nullptr);
    if (probe == nullptr) {
        std::printf("box answerer: no window can be made in this session, error %lu\n",
                    ::GetLastError());
        return false;
    }
    ::DestroyWindow(probe);
    return true;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    Answerer answerer{std::fopen(argv[1], "w"), {}};
    if (answerer.log == nullptr)
        return 2;
    if (!SessionServesWindows())
        return 3;
    if (std::FILE* ready = std::fopen(argv[3], "w"))
        std::fclose(ready);
    DWORD start = ::GetTickCount();
    while (::GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES &&
           ::GetTickCount() - start < kLongestRunMilliseconds) {
        ::EnumWindows(AnswerBox, reinterpret_cast<LPARAM>(&answerer));
        // Window handles of closed boxes may come back for new ones.
        for (auto it = answerer.answered.begin(); it != answerer.answered.end();)
            it = ::IsWindow(*it) ? std::next(it) : answerer.answered.erase(it);
        ::Sleep(kPollMilliseconds);
    }
    std::fclose(answerer.log);
    return 0;
}
