// A process that only waits, for the benchmarks to list and move around. It lives until the
// benchmark that started it ends (its handle is the argument), at most ten minutes, so nothing
// outlives a run that was cut short. A window program, so that Wine gives it no console.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    constexpr DWORD kLongestLife = 10 * 60 * 1000;
    HANDLE owner = reinterpret_cast<HANDLE>(std::strtoull(commandLine, nullptr, 16));
    if (owner == nullptr || ::WaitForSingleObject(owner, kLongestLife) == WAIT_FAILED)
        ::Sleep(kLongestLife);
    return 0;
}
