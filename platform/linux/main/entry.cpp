// Program entry on Linux: the arguments become one command line, as the
// system hands it to the program on Windows.
#include <string>

#include "app/main_process.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine.push_back(' ');
        commandLine += argv[i];
    }
    return varnetMain(commandLine);
}
