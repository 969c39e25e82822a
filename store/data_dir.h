// Where Varnet keeps its files: the session file in the per-user data folder,
// everything else (settings, theme, the side files panels read) in the side
// file folder, and the page beside the executable.
#pragma once

#include <string>

// Creates the data folder (and the side file folder), sets sessionPath and
// moves a session file left by the older layout, never over an existing one.
void initDataDir();

std::string sideFilePath(const std::string& fileName);
std::string pageFilePath();

// Whole-file helpers for the small side files: binary, so the bytes are the
// same on every system. Silent on failure.
bool writeWholeFile(const std::string& path, const std::string& bytes);
// The first line of a file without its line end; false when it cannot be opened.
bool readFirstLine(const std::string& path, std::string& line);
