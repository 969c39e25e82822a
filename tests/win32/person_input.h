// A person's input under Wine: xdotool types and clicks on the X display, and
// Wine hands that to Windows programs as not injected.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

// xdotool and setxkbmap are Linux programs; Wine starts them but cannot
// wait for them, so the tests wait for their effect instead.
inline void startLinuxProgram(const std::string& program, const std::string& arguments) {
    std::string commandLine = program + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

inline void xdotool(const std::string& arguments) { startLinuxProgram("/usr/bin/xdotool", arguments); }

// The X display's keyboard layout, which Wine follows (its keys' virtual
// codes, scan codes and characters) once a window of the process has
// pumped the change.
inline void setxkbmap(const std::string& layout) { startLinuxProgram("/usr/bin/setxkbmap", layout); }
