// What every compositor's suite keeps for all of its cases: the folders with
// the shared session file, a private X server for the program's windows (as
// they would be on XWayland), the program, and the logging window's lines.
// Suite is the suite's own class, so each suite has its own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/compositor_cases.h"
#include "tests/e2e/harness.h"

namespace e2e {

// Starts the program with the session's variables set as on the desktop
// (and this process's own put back after).
inline pid_t startVarnetIn(const std::vector<std::string>& env, const XServer& x, const Folders& folders,
                           const std::vector<std::string>& args = {}, const std::string& binary = "") {
    std::vector<std::pair<std::string, std::string>> saved;
    std::vector<std::string> unset;
    for (const std::string& assignment : env) {
        const std::string name = assignment.substr(0, assignment.find('='));
        if (const char* old = std::getenv(name.c_str())) saved.emplace_back(name, old);
        else unset.push_back(name);
        setenv(name.c_str(), assignment.c_str() + name.size() + 1, 1);
    }
    const pid_t pid = startVarnet(x, folders, args, binary);
    for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
    for (const std::string& name : unset) unsetenv(name.c_str());
    return pid;
}

template <typename Suite>
class CompositorSuite : public ::testing::Test {
protected:
    static inline std::string skipReason, setupFailure;
    static inline XServer x;
    static inline Folders folders;
    static inline WindowLog* log = nullptr;
    static inline pid_t varnet = -1;

    // The folders and the session file every suite plays.
    static void makeSessionFolders() {
        folders = makeFolders();
        std::filesystem::create_directories(folders.data + "/Varnet");
        writeFile(folders.sessionFile(), kCompositorSession);
    }
    static void endProgram() {
        if (varnet > 0) terminateAndWait(varnet, 5000), varnet = -1;
    }
    // After the suite has ended its compositor.
    static void removeServerAndFolders() {
        log = nullptr;
        stopXServer(x);
        if (!folders.root.empty()) removeFolders(folders);
    }

    void SetUp() override {
        if (!skipReason.empty()) GTEST_SKIP() << skipReason;
        ASSERT_EQ(setupFailure, "");
    }
};

}  // namespace e2e
