// The main process's side of the command pipe from pop-out panels.
#pragma once

#include <string>

// A message is at most this many bytes with its terminating NUL.
inline constexpr int kPipeMessageCapacity = 512;

// Applies one pipe message: the text up to its first NUL, command before the
// first '|', argument after it. A message without '|' or with an unknown
// command changes nothing. Runs the same handling as the page call of the
// same name; never throws.
void dispatchPanelCommand(const char* message);

// The body of the pipe server thread: serves one panel connection at a time
// and applies each message before reading the next, until running is cleared.
void pipeServerThread();

// True when the main process knows a command of this name.
bool isPipeCommandName(const std::string& name);
