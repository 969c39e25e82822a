#include "panels/pipe_client.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/platform.h"

namespace {

// The server takes one connection at a time and keeps a short queue of the
// ones waiting. Several panels firing at once can fill that queue; a command
// then waits this long for room instead of being lost.
constexpr std::chrono::milliseconds kWaitForRoom{1000};

// Set when a whole wait went by without the server taking the command: the
// main process has most likely gone, and the panel must not stall on every
// later command. The next success clears it.
std::atomic<bool> serverUnreachable{false};

}  // namespace

void sendPanelCommand(const std::string& command, const std::string& argument) {
    const std::string message = command + "|" + argument;
    if (platform::ipcSendMessage(message)) {
        serverUnreachable = false;
        return;
    }
    if (serverUnreachable) return;
    const auto deadline = std::chrono::steady_clock::now() + kWaitForRoom;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (platform::ipcSendMessage(message)) return;
    }
    serverUnreachable = true;
}
