// Folders the web engine can use, swapped for temporary ones when the user's
// XDG data or cache home cannot hold its files.
#pragma once

#include <string>

namespace platform::web_data {

// The home the engine takes from this XDG variable, as GLib reads it: the
// variable when set and not empty, else underHome below $HOME.
std::string engineHome(const char* variable, const char* underHome);

// Why the engine's folder in this home ("<home>/webkitgtk", made with its
// parents when missing) cannot be written; empty when it can.
std::string unusableBecause(const std::string& home);

// Before the first GLib or GTK call that reads the homes: gives the engine a
// private temporary data or cache home where the user's cannot be used, and
// says so on standard error. The temporary folder goes at exit.
void useUsableHomes();

}  // namespace platform::web_data
