// Program entry on Windows: the command line as the system hands it over.
#include <windows.h>

#include "app/main_process.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int) {
    return varnetMain(lpCmdLine ? lpCmdLine : "");
}
