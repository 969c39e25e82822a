#include "panels/pipe_client.h"

#include "platform/platform.h"

void sendPanelCommand(const std::string& command, const std::string& argument) {
    platform::ipcSendMessage(command + "|" + argument);
}
