// The program's entry point. It takes no arguments and reads no show command: start-up decides.
#include "frontend/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunProgram();
}
