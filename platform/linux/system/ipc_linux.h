// Where the command socket lives on Linux, for what starts this program
// again from outside (a desktop's hotkey binding) and must find the socket.
#pragma once

#include <string>

namespace platform::command_socket {

// The user's runtime folder when it is a folder, else a private folder of
// ours under /tmp. The socket inside is named the same in either.
std::string folder();

}  // namespace platform::command_socket
