// The session survives what a desktop does to a program: a SIGKILL in the
// middle of a save, a crash, and an ordinary termination.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

const char kTitle[] = "Varnet (Kestrine Edition)";

struct Child {
    pid_t pid = -1;
    int output = -1;  // the child's stdout
};

Child startHelper(const std::vector<std::string>& args) {
    int fds[2];
    Child child;
    if (pipe(fds) != 0) return child;
    child.pid = fork();
    if (child.pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        std::string binary = VARNET_SAVE_STREAM;
        argv.push_back(binary.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    child.output = fds[0];
    return child;
}

std::string readLine(int fd) {
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
}

// The exit status as waitpid gives it.
int waitStatus(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// Runs the helper to the end; its exit code and first output line.
int runHelper(const std::vector<std::string>& args, std::string& firstLine) {
    Child child = startHelper(args);
    firstLine = readLine(child.output);
    close(child.output);
    int status = waitStatus(child.pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SessionSafety : public ::testing::Test {
protected:
    e2e::Folders folders;
    std::string session;
    void SetUp() override {
        folders = e2e::makeFolders();
        std::filesystem::create_directories(folders.data + "/Varnet");
        session = folders.sessionFile();
    }
    void TearDown() override { e2e::removeFolders(folders); }
};

}  // namespace

TEST_F(SessionSafety, KillDuringAStreamOfSavesAlwaysLeavesAWholeFile) {
    std::mt19937 random{std::random_device{}()};
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Child child = startHelper({session, "stream"});
        ASSERT_GT(child.pid, 0);
        std::string saved = readLine(child.output);  // one save is on disk
        ASSERT_FALSE(saved.empty());
        usleep(useconds_t(std::uniform_int_distribution<int>(0, 60000)(random)));
        kill(child.pid, SIGKILL);
        // The last generation reported saved; the one after may have been
        // renamed into place just before the kill.
        for (std::string line; !(line = readLine(child.output)).empty();) saved = line;
        close(child.output);
        int status = waitStatus(child.pid);
        ASSERT_TRUE(WIFSIGNALED(status));
        std::string name;
        EXPECT_EQ(runHelper({session, "check"}, name), 0);
        const std::string last = "gen " + saved + " ";
        const std::string next = "gen " + std::to_string(std::stoi(saved) + 1) + " ";
        EXPECT_TRUE(name.rfind(last, 0) == 0 || name.rfind(next, 0) == 0) << name << " after " << saved;
    }
}

TEST_F(SessionSafety, ACrashSavesTheStateOfThatMomentAndStillCrashes) {
    Child child = startHelper({session, "crash"});
    close(child.output);
    int status = waitStatus(child.pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    std::string name;
    ASSERT_EQ(runHelper({session, "check"}, name), 0);
    EXPECT_EQ(name.rfind("gen 424242 ", 0), 0u) << name;
}

class RunningProgram : public SessionSafety {
protected:
    e2e::XServer x;
    pid_t pid = -1;
    std::string golden = e2e::readFile(std::string(VARNET_TEST_DATA) + "/three_profiles.mcr");
    void SetUp() override {
        SessionSafety::SetUp();
        x = e2e::startXServer();
        e2e::writeFile(session, golden);
        pid = e2e::startVarnet(x, folders);
        ASSERT_TRUE(e2e::waitForWindow(x, kTitle, 20000));
    }
    void TearDown() override {
        if (pid > 0) e2e::terminateAndWait(pid, 5000);
        e2e::stopXServer(x);
        SessionSafety::TearDown();
    }
};

TEST_F(RunningProgram, SessionOfThreeProfilesIsWrittenBackUnchanged) {
    EXPECT_EQ(e2e::terminateAndWait(pid, 10000), 0);
    pid = -1;
    EXPECT_EQ(e2e::readFile(session), golden);
    // The window's placement was recorded when it went away.
    std::string settings = e2e::readFile(folders.sideFile("appsettings.txt"));
    EXPECT_NE(settings.find("windowWidth="), std::string::npos) << settings;
    EXPECT_EQ(settings.rfind("windowMaximized=0\r\n"), settings.size() - 19) << settings;
}

// The crash comes once start-up is over (the autosave has written the file
// again): a crash inside start-up's own fork cannot be saved from.
TEST_F(RunningProgram, SegmentationFaultLeavesTheLastStateOnDisk) {
    std::filesystem::remove(session);
    ASSERT_TRUE(e2e::waitForFileContent(session, golden, 15000));
    std::filesystem::remove(session);
    kill(pid, SIGSEGV);
    int status = waitStatus(pid);
    pid = -1;
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_EQ(e2e::readFile(session), golden);
}
