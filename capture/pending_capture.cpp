// Placeholders until recording, the event list and playback land.
#include "app/workers.h"
#include "bridge/page_calls.h"
std::string callPickLocation(const std::string&) { return ""; }
std::string callResetHotkeys(const std::string&) { return ""; }
std::string callReassignKey(const std::string&) { return ""; }
std::string callUpdateTracker(const std::string&) { return ""; }
std::string callOptimizeMacro(const std::string&) { return ""; }
std::string callGetTrackerStatus(const std::string&) { return ""; }
std::string callGetMacroEvents(const std::string&) { return "[]"; }
std::string callDeleteEvent(const std::string&) { return ""; }
std::string callUpdateEventTime(const std::string&) { return ""; }
void playbackThread() {}
