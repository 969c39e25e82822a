// The page call that pops a panel out into a window of its own.
#include <string>

#include "bridge/page_calls.h"
#include "panels/panel_processes.h"
#include "text/arguments.h"

std::string callPopOutPanel(const std::string& args) {
    popOutPanel(stripArgumentText(args));
    return "";
}
