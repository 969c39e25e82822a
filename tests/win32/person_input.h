// A person's input under Wine: xdotool types and clicks on the X display, and
// Wine hands that to Windows programs as not injected.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

// xdotool is a Linux program; Wine starts it but cannot wait for it, so the
// tests wait for its effect instead.
inline void xdotool(const std::string& arguments) {
    std::string commandLine = "/usr/bin/xdotool " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA("/usr/bin/xdotool", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
