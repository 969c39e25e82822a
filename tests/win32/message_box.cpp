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

PROCESS_INFORMATION startProgram(const std::wstring& program, HANDLE* errorsRead) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE errorsWrite = nullptr;
    if (errorsRead) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        if (!CreatePipe(errorsRead, &errorsWrite, &inheritable, 0)) return PROCESS_INFORMATION{};
        SetHandleInformation(*errorsRead, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = errorsWrite;
    }
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                                        errorsRead != nullptr, 0, nullptr, nullptr, &startup, &process);
    // The child holds its own copy: the read end sees the end of the text when the child ends.
    if (errorsWrite) CloseHandle(errorsWrite);
    if (!started) {
        if (errorsRead) CloseHandle(*errorsRead);
        return PROCESS_INFORMATION{};
    }
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
    HANDLE errorsRead = nullptr;
    PROCESS_INFORMATION process = startProgram(program, &errorsRead);
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
    // Only what is there: a helper the program started (Wine's desktop
    // process) may hold the write end long after the program ended.
    char chunk[512];
    DWORD available = 0, got = 0;
    while (PeekNamedPipe(errorsRead, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
           ReadFile(errorsRead, chunk, available < sizeof chunk ? available : DWORD(sizeof chunk), &got,
                    nullptr) && got > 0)
        run.errors.append(chunk, got);
    CloseHandle(errorsRead);
    return run;
}
