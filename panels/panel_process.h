#pragma once

#include <string>

// The whole run of a pop-out panel process; returns the exit code.
int runPanelProcess(const std::string& commandLine);
