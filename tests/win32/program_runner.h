// Runs the whole program as a Windows process under Wine, which has no
// WebView2 runtime: start-up runs, then the one message box waits.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/win32_backend.h"

namespace program_runner {

struct BoxSearch {
    DWORD processId;
    HWND box;
};

inline BOOL CALLBACK findBoxOfProcess(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    if (owner != search->processId || std::wstring(className) != L"#32770") return TRUE;
    // Only once the box is shown are its text and button in place.
    if (!IsWindowVisible(window) || !GetDlgItem(window, IDOK)) return TRUE;
    search->box = window;
    return FALSE;
}

// Starts the program at this UTF-8 path; hProcess is null on failure.
inline PROCESS_INFORMATION startProgram(const std::string& program) {
    std::wstring path = platform::win32::widen(program);
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        ADD_FAILURE() << "cannot start " << program;
    return process;
}

// The process's message box once it is shown; null when none came.
inline HWND waitForMessageBox(const PROCESS_INFORMATION& process) {
    BoxSearch search{process.dwProcessId, nullptr};
    ULONGLONG deadline = GetTickCount64() + 40000;  // a fresh Wine prefix can be slow
    while (!search.box && GetTickCount64() < deadline &&
           WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT)
        EnumWindows(findBoxOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.box;
}

// The exit code once the process has ended; 99 when it would not end.
inline DWORD exitCodeOf(PROCESS_INFORMATION& process) {
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

// Runs the program until its message box, closes the box and returns the
// box's text; exitCode gets the exit code.
inline std::string runUntilMessageBoxClosed(const std::string& program, DWORD& exitCode) {
    exitCode = 99;
    PROCESS_INFORMATION process = startProgram(program);
    if (!process.hProcess) return "";
    HWND box = waitForMessageBox(process);
    wchar_t text[1024] = L"";
    if (box) {
        GetDlgItemTextW(box, 0xFFFF, text, 1024);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    } else {
        ADD_FAILURE() << "no message box; the program "
                      << (WaitForSingleObject(process.hProcess, 0) ? "still runs" : "ended");
    }
    exitCode = exitCodeOf(process);
    return platform::win32::narrow(text);
}

}  // namespace program_runner
