// Where Varnet keeps its files: the session file in the per-user data folder,
// everything else (settings, theme, the side files panels read) in the side
// file folder, and the page beside the executable.
#pragma once

#include <cstdint>
#include <string>

// Creates the data folder (and the side file folder), removes the temporary
// files of saves whose writer has gone, sets sessionPath and moves a session
// file left by the older layout, never over an existing one.
void initDataDir();

// True for the name of a temporary file of our own saves
// ("session.mcr.tmp<process id>-<number>", likewise for the settings and
// theme files), with the id of the process that wrote it.
bool temporaryFileWriter(const std::string& fileName, uint64_t& processId);

std::string sideFilePath(const std::string& fileName);
std::string pageFilePath();

// Whole-file helpers for the small side files: binary, so the bytes are the
// same on every system. Silent on failure.
bool writeWholeFile(const std::string& path, const std::string& bytes);
// The whole of a text file, without a UTF-8 byte-order mark that some
// editors put at its start; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& text);
void dropByteOrderMark(std::string& text);
// The first line of a file without its line end; false when it cannot be opened.
bool readFirstLine(const std::string& path, std::string& line);
