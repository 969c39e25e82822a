#include <string>

#include "model/version.h"

const char* varnetVersion() { return VARNET_VERSION; }

bool isVersionCommandLine(const std::string& commandLine) { return commandLine == "--version"; }
