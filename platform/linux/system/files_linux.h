// What the file functions need from each other and their tests show.
#pragma once

#include <string>

namespace platform {

// The program's path from what /proc/self/exe links to: an upgrade that
// replaced the binary leaves "<path> (deleted)", and the installed program
// is at <path>; a file really named so (it exists) keeps its name.
std::string installedPath(const std::string& link);

}  // namespace platform
