// Placeholders until persistence lands.
#include "app/workers.h"
#include "bridge/page_calls.h"
#include "store/app_settings.h"
#include "store/autosave.h"
#include "store/profiles.h"
#include "store/session_file.h"
std::string callResizeWindow(const std::string&) { return ""; }
std::string callGetAppSettings(const std::string&) { return "{}"; }
std::string callSetAppSetting(const std::string&) { return ""; }
std::string callResetEverything(const std::string&) { return ""; }
std::string callClearProfile(const std::string&) { return ""; }
std::string callAddProfile(const std::string&) { return ""; }
std::string callDeleteProfile(const std::string&) { return ""; }
std::string callSwitchProfile(const std::string&) { return ""; }
std::string callGetProfiles(const std::string&) { return "{}"; }
std::string callExportProfile(const std::string&) { return ""; }
std::string callImportProfile(const std::string&) { return ""; }
void saveSession() {}
bool loadSession() { return false; }
void autosaveThread() {}
void saveOnCrash() {}
void readAppSettings() {}
void writeAppSettings() {}
void saveWindowPlacement(void*) {}
void storeProfileSettings() {}
