// Waits, so that tests have a real process to move. Ends by itself after two minutes so that
// nothing outlives a test run that was cut short.
#include <windows.h>

int main() {
    ::Sleep(120 * 1000);
    return 0;
}
