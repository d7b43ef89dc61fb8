// quorlax.exe: the presentation's entry. The command line is not read, and every way out ends
// the process with exit code 0 (the render thread, never joined, ends with it).
#include "platform/program_entry.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    runApplication();
    ExitProcess(0);
}
