// message_box_probe PROGRAM: starts the Windows program, prints the text of
// the message box it shows (UTF-8), closes the box and prints the exit code
// and what the program wrote on standard error.
// Exit status 0 when a box was shown and the program ended after it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/win32/message_box.h"

namespace {

std::string utf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string out(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), length, nullptr,
                        nullptr);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: message_box_probe PROGRAM\n", stderr);
        return 2;
    }
    MessageBoxRun run = runUntilMessageBox(argv[1]);
    if (!run.started) std::printf("cannot start %s\n", utf8(argv[1]).c_str());
    std::printf("%s\nexit code %lu\n%s", utf8(run.text).c_str(), run.exitCode, run.errors.c_str());
    return run.boxShown && run.ended ? 0 : 1;
}
