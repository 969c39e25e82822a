// Pop-out panel processes: this executable started again with "--child".
#include <windows.h>

#include "model/state.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

struct ChildProcess {
    HANDLE process;
};

namespace platform {

ChildProcess* spawnPanelProcess(const std::string& argument) {
    std::wstring path = win32::modulePathW();
    if (path.empty()) return nullptr;
    std::wstring commandLine = L"\"" + path + L"\" --child " + win32::widen(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return new ChildProcess{info.hProcess};
}

// The handle tells, not the exit code: a process may end with code 259,
// the very value that GetExitCodeProcess gives for one still running.
ProcessState childProcessState(ChildProcess* child) {
    if (!child) return ProcessState::Unknown;
    switch (WaitForSingleObject(child->process, 0)) {
    case WAIT_OBJECT_0: return ProcessState::Ended;
    case WAIT_TIMEOUT: return ProcessState::Running;
    default: return ProcessState::Unknown;
    }
}

// The panel's termination request ends its loop, as a session's end would;
// the hidden window that receives it exists once the panel is set up.
bool askChildToEnd(ChildProcess* child) {
    return childProcessState(child) == ProcessState::Running &&
           win32::postTerminationRequest(GetProcessId(child->process));
}

bool waitForChildEnd(ChildProcess* child, int timeoutMs) {
    return child && WaitForSingleObject(child->process, DWORD(timeoutMs)) == WAIT_OBJECT_0;
}

void killChildProcess(ChildProcess* child) {
    if (child) TerminateProcess(child->process, 0);
}

void releaseChildProcess(ChildProcess* child) {
    if (!child) return;
    CloseHandle(child->process);
    delete child;
}

}  // namespace platform
