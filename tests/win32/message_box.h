// Runs a Windows program that is expected to show one message box, reads the
// box's text, closes it, and waits for the program to end.
#pragma once

#include <windows.h>

#include <string>

struct MessageBoxRun {
    bool started = false;
    bool boxShown = false;
    bool ended = false;
    std::wstring text;
    DWORD exitCode = 0;
};

MessageBoxRun runUntilMessageBox(const std::wstring& program);
