// Runs a Windows program that is expected to show one message box (under
// Wine, which has no WebView2 runtime, the program's start-up ends in one):
// finds the box, reads its text, closes it, and waits for the program to end.
#pragma once

#include <windows.h>

#include <string>

struct MessageBoxRun {
    bool started = false;
    bool boxShown = false;
    bool ended = false;
    std::wstring text;
    DWORD exitCode = 0;
    std::string errors;  // what the program wrote on standard error
};

MessageBoxRun runUntilMessageBox(const std::wstring& program);

// The steps of such a run, for tests that run two programs side by side.
// Starts the program; hProcess is null on failure. With errorsRead, its
// standard error goes to a pipe whose read end that is.
PROCESS_INFORMATION startProgram(const std::wstring& program, HANDLE* errorsRead = nullptr);
// The process's message box once it is shown; null when none came.
HWND waitForMessageBox(const PROCESS_INFORMATION& process);
// The exit code once the process has ended (99 when it would not end, and it
// is ended); the handles are closed.
DWORD exitCodeOf(PROCESS_INFORMATION& process);
