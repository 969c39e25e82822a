#include "panels/pipe_client.h"

#include <chrono>
#include <thread>

#include "platform/platform.h"

namespace {

// The server takes one connection at a time and keeps a short queue of the
// ones waiting. Several panels firing at once can fill that queue; a command
// then waits this long for room instead of being lost. A main process that
// is not there at all costs each command this wait, and nothing else.
constexpr std::chrono::milliseconds kWaitForRoom{1000};

}  // namespace

void sendPanelCommand(const std::string& command, const std::string& argument) {
    const std::string message = command + "|" + argument;
    const auto deadline = std::chrono::steady_clock::now() + kWaitForRoom;
    while (!platform::ipcSendMessage(message) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
