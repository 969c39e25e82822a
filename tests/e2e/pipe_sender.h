// The test's own client of the program's command pipe, written from the wire
// format alone: one SOCK_SEQPACKET message per command.
#pragma once

#include <string>

namespace e2e {

struct Folders;

std::string pipePath(const Folders& folders);
// A connected socket, or -1.
int connectToPipe(const std::string& path);
// Connects, writes the bytes as one message, closes. False when nobody listened.
bool sendToPipe(const std::string& path, const std::string& bytes);
// Waits until a server accepts connections at path.
bool waitForPipe(const std::string& path, int timeoutMs);

}  // namespace e2e
