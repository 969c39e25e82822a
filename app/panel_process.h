#pragma once

#include <cstddef>
#include <string>

struct PageCall;

// The whole run of a pop-out panel process; returns the exit code.
int runPanelProcess(const std::string& commandLine);

// The twenty-eight calls bound into a panel's page, in binding order.
const PageCall* panelPageCalls(size_t& count);
