// Placeholders until the pop-out panels land.
#include "bridge/page_calls.h"
#include "panels/panel_process.h"
#include "panels/panel_processes.h"
std::string callPopOutPanel(const std::string&) { return ""; }
int runPanelProcess(const std::string&) { return 0; }
void endAllPanelProcesses() {}
