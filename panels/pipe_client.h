#pragma once

#include <string>

// Sends command "|" argument to the main process's command pipe in one write.
// No wait, no retry, no report: a command that finds no server is lost.
void sendPanelCommand(const std::string& command, const std::string& argument);
