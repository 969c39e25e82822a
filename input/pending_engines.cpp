// Placeholders until the engines land.
#include "app/workers.h"
#include "bridge/page_calls.h"
std::string callUpdateSpammer(const std::string&) { return ""; }
std::string callToggleSpammer(const std::string&) { return ""; }
std::string callUpdateKeySpam(const std::string&) { return ""; }
std::string callToggleKeySpam(const std::string&) { return ""; }
std::string callToggleRecording(const std::string&) { return ""; }
std::string callTogglePlayback(const std::string&) { return ""; }
void autoClickerThread() {}
void keySpamThread() {}
void controlThread() {}
void pipeServerThread() {}
