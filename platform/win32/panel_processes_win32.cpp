// Pop-out panel processes: this executable started again with "--child".
#include <windows.h>

#include "app/state.h"
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

ProcessState childProcessState(ChildProcess* child) {
    DWORD code = 0;
    if (!child || !GetExitCodeProcess(child->process, &code)) return ProcessState::Unknown;
    return code == STILL_ACTIVE ? ProcessState::Running : ProcessState::Ended;
}

void terminateChildProcess(ChildProcess* child) {
    if (child) TerminateProcess(child->process, 0);
}

void releaseChildProcess(ChildProcess* child) {
    if (!child) return;
    CloseHandle(child->process);
    delete child;
}

}  // namespace platform
