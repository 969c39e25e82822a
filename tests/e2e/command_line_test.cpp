// `varnet --command MESSAGE` hands one message to the running program through
// its command pipe and reports by its exit code whether it was delivered.
#include <gtest/gtest.h>

#include <X11/extensions/XInput2.h>

#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/raw_observer.h"

namespace {

class CommandLine : public ::testing::Test {
protected:
    e2e::Folders folders;
    void SetUp() override { folders = e2e::makeFolders(); }
    void TearDown() override { e2e::removeFolders(folders); }
    e2e::Finished command(const std::string& message) {
        return e2e::runVarnetToEnd(folders, {"--command", message}, 10000);
    }
};

}  // namespace

TEST_F(CommandLine, MessagesReachTheRunningProgramAndBadOnesAreRefused) {
    e2e::XServer x = e2e::startXServer();
    e2e::RawObserver observer;
    ASSERT_TRUE(e2e::openObserver(observer, x.display));
    pid_t pid = e2e::startVarnet(x, folders);
    ASSERT_TRUE(e2e::waitForPipe(e2e::pipePath(folders), 20000));

    // Refused before anything is sent: the clicker must not start.
    for (const char* bad : {"toggleSpammer", "toggleSpamer|", ""}) {
        e2e::Finished refused = command(bad);
        EXPECT_EQ(refused.code, 2) << bad;
        EXPECT_NE(refused.errors.find("not sent"), std::string::npos) << refused.errors;
    }
    EXPECT_EQ(command("updateSpammer|0,0,0,20,0,0,0,5,0").code, 0);
    EXPECT_EQ(command("toggleSpammer|").code, 0);
    auto presses = e2e::ofType(e2e::collectUntilQuiet(observer, 1000, 15000), XI_RawButtonPress);
    EXPECT_EQ(presses.size(), 5u);

    EXPECT_EQ(e2e::terminateAndWait(pid, 5000), 0);
    e2e::closeObserver(observer);
    e2e::stopXServer(x);
}

TEST_F(CommandLine, NothingRunningEndsWithAClearMessage) {
    e2e::Finished finished = command("toggleSpammer|");
    EXPECT_EQ(finished.code, 1);
    EXPECT_NE(finished.errors.find("not running"), std::string::npos) << finished.errors;
}
