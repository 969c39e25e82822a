// The command lines that do one thing and end without starting the program:
// --version, --help and --command.
#pragma once

#include <string>

// Exit codes of --command.
enum class CommandResult { Delivered = 0, NotRunning = 1, Malformed = 2, Refused = 3 };

// True when the command line asks to send one message to the running
// program; message is then what follows "--command ".
bool isCommandCommandLine(const std::string& commandLine, std::string& message);

// Why a message would not be understood by the running program, in words
// for the user; empty when it would be.
std::string commandMessageProblem(const std::string& message);

// Sends one message through the command pipe, waiting briefly while the
// program is busy with another client. Reports on standard error what went
// wrong; the result is the exit code.
CommandResult sendCommandMessage(const std::string& message);

bool isHelpCommandLine(const std::string& commandLine);
// The usage text of --help.
const char* helpText();
