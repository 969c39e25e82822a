#pragma once

#include <string>

// The program's version, "major.minor.patch", set once in the build.
const char* varnetVersion();

// True when the command line asks only for the version.
bool isVersionCommandLine(const std::string& commandLine);
