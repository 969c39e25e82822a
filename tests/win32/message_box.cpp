#include "tests/win32/message_box.h"

namespace {

struct BoxSearch {
    DWORD processId;
    HWND box;
};

BOOL CALLBACK findDialogOfProcess(HWND window, LPARAM context) {
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

}  // namespace

PROCESS_INFORMATION startProgram(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return PROCESS_INFORMATION{};
    return process;
}

HWND waitForMessageBox(const PROCESS_INFORMATION& process) {
    BoxSearch search{process.dwProcessId, nullptr};
    ULONGLONG deadline = GetTickCount64() + 40000;  // a fresh Wine prefix can be slow
    while (!search.box && GetTickCount64() < deadline &&
           WaitForSingleObject(process.hProcess, 5) == WAIT_TIMEOUT)
        EnumWindows(findDialogOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.box;
}

DWORD exitCodeOf(PROCESS_INFORMATION& process) {
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

MessageBoxRun runUntilMessageBox(const std::wstring& program) {
    MessageBoxRun run;
    PROCESS_INFORMATION process = startProgram(program);
    if (!process.hProcess) return run;
    run.started = true;
    if (HWND box = waitForMessageBox(process)) {
        wchar_t text[2048] = L"";
        GetDlgItemTextW(box, 0xFFFF, text, 2048);
        run.text = text;
        run.boxShown = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    run.ended = WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0;
    run.exitCode = exitCodeOf(process);
    return run;
}
