// The Linux command pipe's two ends on real Unix-domain sockets, in-process.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/platform.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"

namespace {

using Clock = std::chrono::steady_clock;

class LinuxPipe : public ::testing::Test {
protected:
    e2e::Folders folders;
    std::string path;
    platform::IpcServer* server = nullptr;
    platform::StopSignal* stop = nullptr;

    void SetUp() override {
        folders = e2e::makeFolders();
        setenv("XDG_RUNTIME_DIR", folders.runtime.c_str(), 1);
        path = e2e::pipePath(folders);
        stop = platform::stopSignalCreate();
        ASSERT_NE(stop, nullptr);
    }
    void TearDown() override {
        platform::ipcServerClose(server);
        platform::stopSignalDestroy(stop);
        unsetenv("TMPDIR");
        e2e::removeFolders(folders);
    }
    // No runtime folder, and a temporary folder of this test's own, so no
    // other run's server can hold the fallback folder: its path.
    std::string useOwnTemporaryFolder() {
        unsetenv("XDG_RUNTIME_DIR");
        const std::string temporary = folders.root + "/tmp";
        std::filesystem::create_directory(temporary);
        setenv("TMPDIR", temporary.c_str(), 1);
        return temporary + "/varnet-" + std::to_string(getuid());
    }
    platform::IpcConnection* acceptOne() { return platform::ipcAcceptClient(server, stop); }
    int read(platform::IpcConnection* connection, std::string& text) {
        char buffer[512];
        int length = platform::ipcReadMessage(connection, buffer, sizeof buffer);
        text.assign(buffer, length > 0 ? size_t(length) : 0);
        return length;
    }
};

// A socket file whose server died without removing it.
void leaveStaleSocket(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

}  // namespace

TEST_F(LinuxPipe, ServerSocketIsPrivateAndGoesAwayOnClose) {
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    platform::ipcServerClose(server);
    server = nullptr;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LinuxPipe, WithoutARuntimeFolderTheSocketIsInAPrivateFolderInTheTemporaryFolder) {
    const std::string folder = useOwnTemporaryFolder();
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    struct stat info;
    ASSERT_EQ(lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, getuid());
    EXPECT_TRUE(platform::ipcSendMessage("toggleSpammer|"));
    platform::ipcServerClose(server);
    server = nullptr;
    EXPECT_FALSE(std::filesystem::exists(folder + "/VarnetIPC"));
}

TEST_F(LinuxPipe, AFallbackFolderThatIsNotARealFolderOfOursIsRefusedWithAReason) {
    const std::string folder = useOwnTemporaryFolder();
    std::error_code error;
    const std::function<bool()> impostors[] = {
        [&] { return symlink(folders.runtime.c_str(), folder.c_str()) == 0; },
        [&] {
            e2e::writeFile(folder, "x");
            return true;
        },
        // Another user's folder; only a test run as root can make one.
        [&] { return mkdir(folder.c_str(), 0700) == 0 && chown(folder.c_str(), 65534, 65534) == 0; },
    };
    for (const auto& makeImpostor : impostors) {
        if (!makeImpostor()) continue;
        server = platform::ipcServerOpen();
        EXPECT_EQ(server, nullptr);
        EXPECT_NE(platform::ipcServerProblem().find(folder), std::string::npos) << platform::ipcServerProblem();
        EXPECT_FALSE(platform::ipcSendMessage("toggleSpammer|"));
        std::filesystem::remove(folder, error);
    }
}

TEST_F(LinuxPipe, StaleSocketOfACrashedRunIsReplaced) {
    leaveStaleSocket(path);
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(platform::ipcSendMessage("toggleSpammer|"));
}

TEST_F(LinuxPipe, ALiveServerIsNeverTakenOverAndOtherFilesAreLeftAlone) {
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(platform::ipcServerOpen(), nullptr);
    platform::ipcServerClose(server);
    server = nullptr;
    e2e::writeFile(path, "not a socket");
    EXPECT_EQ(platform::ipcServerOpen(), nullptr);
    EXPECT_EQ(e2e::readFile(path), "not a socket");
}

TEST_F(LinuxPipe, MessagesKeepTheirBoundariesUpTo511Bytes) {
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    int client = e2e::connectToPipe(path);
    ASSERT_GE(client, 0);
    std::string longest(511, 'x'), tooLong(512, 'y');
    for (const std::string& message : {std::string("a|1"), std::string("panelHover|1"), longest, tooLong})
        ASSERT_EQ(send(client, message.data(), message.size(), 0), ssize_t(message.size()));
    platform::IpcConnection* connection = acceptOne();
    ASSERT_NE(connection, nullptr);
    std::string text;
    EXPECT_EQ(read(connection, text), 3);
    EXPECT_EQ(text, "a|1");
    EXPECT_EQ(read(connection, text), 12);
    EXPECT_EQ(read(connection, text), 511);
    EXPECT_EQ(text, longest);
    EXPECT_EQ(read(connection, text), -1);  // did not fit
    platform::ipcCloseConnection(connection);
    close(client);
}

TEST_F(LinuxPipe, AClientThatLeavesOrStaysSilentEndsItsConnection) {
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    int leaving = e2e::connectToPipe(path);
    close(leaving);
    platform::IpcConnection* connection = acceptOne();
    ASSERT_NE(connection, nullptr);
    std::string text;
    EXPECT_EQ(read(connection, text), -1);
    platform::ipcCloseConnection(connection);

    int silent = e2e::connectToPipe(path);
    connection = acceptOne();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(read(connection, text), -1);  // after the silence limit, not never
    platform::ipcCloseConnection(connection);
    close(silent);
}

TEST_F(LinuxPipe, StopWakesAWaitForAClientAndAReadAtOnce) {
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    int silent = e2e::connectToPipe(path);
    platform::IpcConnection* connection = acceptOne();
    ASSERT_NE(connection, nullptr);
    platform::IpcConnection* second = reinterpret_cast<platform::IpcConnection*>(1);
    std::thread waiter([&] { second = acceptOne(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    platform::stopSignalRaise(stop);
    waiter.join();
    EXPECT_EQ(second, nullptr);
    auto before = Clock::now();
    std::string text;
    EXPECT_EQ(read(connection, text), -1);
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(500));
    platform::ipcCloseConnection(connection);
    close(silent);
}

TEST_F(LinuxPipe, SendingWithoutAServerFailsQuietly) {
    EXPECT_FALSE(platform::ipcSendMessage("toggleSpammer|"));
    server = platform::ipcServerOpen();
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(platform::ipcSendMessage("setTheme|dark"));
    platform::IpcConnection* connection = acceptOne();
    ASSERT_NE(connection, nullptr);
    std::string text;
    EXPECT_EQ(read(connection, text), 13);
    EXPECT_EQ(text, "setTheme|dark");
    EXPECT_EQ(read(connection, text), -1);  // the sender closed after its one write
    platform::ipcCloseConnection(connection);
}
