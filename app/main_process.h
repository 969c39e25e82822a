#pragma once

#include <string>

// The whole life of the program: a panel process when the command line holds
// "--child", the main process otherwise. Returns the exit code.
int varnetMain(const std::string& commandLine);

// True when the command line asks for a pop-out panel process.
bool isPanelCommandLine(const std::string& commandLine);
