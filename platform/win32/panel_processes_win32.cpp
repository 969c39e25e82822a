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
    std::string path = win32::modulePath();
    if (path.empty()) return nullptr;
    std::string commandLine = "\"" + path + "\" --child " + argument;
    static_assert(sizeof(STARTUPINFOA) == 104);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
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
