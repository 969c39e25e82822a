// The command pipe across a real process boundary: the running program keeps
// serving through bad traffic, and only the same user's well-formed commands
// change anything.
#include <gtest/gtest.h>
// After gtest: Xlib's macros would clash with its names.
#include <X11/extensions/XInput2.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "panels/pipe_client.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/raw_observer.h"

namespace {

class PipeAcrossProcesses : public ::testing::Test {
protected:
    e2e::XServer x;
    e2e::Folders folders;
    e2e::RawObserver observer;
    std::string pipe;
    pid_t pid = -1;

    void SetUp() override {
        x = e2e::startXServer();
        folders = e2e::makeFolders();
        // The panel side (sendPanelCommand) finds the pipe where the program does.
        setenv("XDG_RUNTIME_DIR", folders.runtime.c_str(), 1);
        pipe = e2e::pipePath(folders);
        ASSERT_TRUE(e2e::openObserver(observer, x.display));
    }
    void TearDown() override {
        if (pid > 0) e2e::terminateAndWait(pid, 5000);
        e2e::closeObserver(observer);
        e2e::stopXServer(x);
        e2e::removeFolders(folders);
    }
    void startProgram() {
        pid = e2e::startVarnet(x, folders);
        ASSERT_TRUE(e2e::waitForPipe(pipe, 20000));
    }
    size_t pressesSeen(int quietMs) {
        return e2e::ofType(e2e::collectUntilQuiet(observer, quietMs, 10000), XI_RawButtonPress).size();
    }
};

}  // namespace

TEST_F(PipeAcrossProcesses, PanelCommandsDriveTheProgram) {
    startProgram();
    sendPanelCommand("updateSpammer", "0,0,0,2,0,0,0,3,0");
    sendPanelCommand("toggleSpammer", "");
    EXPECT_EQ(pressesSeen(1000), 3u);
}

TEST_F(PipeAcrossProcesses, BadTrafficChangesNothingAndTheServerGoesOn) {
    startProgram();
    // Each of these would start the clicker if it were misread.
    int silent = e2e::connectToPipe(pipe);
    close(silent);
    EXPECT_TRUE(e2e::sendToPipe(pipe, "toggleSpammer"));
    EXPECT_TRUE(e2e::sendToPipe(pipe, "ToggleSpammer|"));
    EXPECT_TRUE(e2e::sendToPipe(pipe, "toggleSpammer |"));
    EXPECT_TRUE(e2e::sendToPipe(pipe, "toggleSpammer|" + std::string(586, 'x')));  // 600 bytes
    EXPECT_TRUE(e2e::sendToPipe(pipe, "updateSpammer|x,0,0,1,0,0,0,9,0"));
    EXPECT_TRUE(e2e::sendToPipe(pipe, "|"));
    EXPECT_TRUE(e2e::sendToPipe(pipe, std::string("\0toggleSpammer|", 15)));
    EXPECT_EQ(pressesSeen(300), 0u);
    // The settings are still the defaults: a counted run needs only the mode.
    EXPECT_TRUE(e2e::sendToPipe(pipe, "updateSpammer|0,0,0,1,0,0,0,2,0"));
    EXPECT_TRUE(e2e::sendToPipe(pipe, "toggleSpammer|"));
    EXPECT_EQ(pressesSeen(1000), 2u);
}

TEST_F(PipeAcrossProcesses, AClientThatNeverWritesDoesNotHoldTheServer) {
    startProgram();
    int silent = e2e::connectToPipe(pipe);
    ASSERT_GE(silent, 0);
    auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(e2e::sendToPipe(pipe, "updateSpammer|0,0,0,1,0,0,0,1,0"));
    EXPECT_TRUE(e2e::sendToPipe(pipe, "toggleSpammer|"));
    e2e::ObservedEvent press;
    ASSERT_TRUE(e2e::nextEvent(observer, press, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    close(silent);
}

TEST_F(PipeAcrossProcesses, StaleSocketIsReplacedAndShutdownRemovesIt) {
    int stale = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, pipe.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
    startProgram();
    // A client holding a connection open must not delay the shutdown.
    int holding = e2e::connectToPipe(pipe);
    EXPECT_TRUE(e2e::sendToPipe(pipe, "panelHover|1"));
    // The held connection costs at most its one second of silence; the bound
    // leaves room for a ThreadSanitizer build, whose shutdown alone took 4 to
    // 5 s on a busy machine, and still catches a hang.
    EXPECT_EQ(e2e::terminateAndWait(pid, 10000), 0);
    pid = -1;
    EXPECT_FALSE(std::filesystem::exists(pipe));
    close(holding);
}
