// The start-up registration in the registry and the command pipe, for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool readRunValue(std::string& value) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, kRunKey, "Varnet", RRF_RT_ANY, &type, buffer, &size) !=
        ERROR_SUCCESS)
        return false;
    EXPECT_EQ(type, DWORD(REG_SZ));
    value.assign(buffer, size ? size - 1 : 0);
    return true;
}

// Sends until a pipe instance takes the message: a client never waits, so the
// test does the waiting for the server to be ready.
bool sendWhenListening(const std::string& message) {
    for (int i = 0; i < 500; ++i) {
        if (platform::ipcSendMessage(message)) return true;
        Sleep(2);
    }
    return false;
}

struct PipeServer {
    platform::StopSignal* stop = platform::stopSignalCreate();
    platform::IpcServer* server = platform::ipcServerOpen();
    std::vector<std::string> received;  // "-1" where a read failed
    std::atomic<size_t> count{0};       // of received, for the test thread
    std::atomic<bool> ended{false};
    std::thread thread;

    // Serves clients until stop, one message per connection at most.
    void start() {
        thread = std::thread([this] {
            while (platform::IpcConnection* connection = platform::ipcAcceptClient(server, stop)) {
                char buffer[512];
                int length;
                while ((length = platform::ipcReadMessage(connection, buffer, sizeof buffer)) >= 0) {
                    received.emplace_back(buffer, size_t(length));
                    ++count;
                }
                received.push_back("-1");
                ++count;
                platform::ipcCloseConnection(connection);
            }
            ended = true;
        });
    }
    void finish() {
        platform::stopSignalRaise(stop);
        thread.join();
        platform::ipcServerClose(server);
        platform::stopSignalDestroy(stop);
    }
};

}  // namespace

TEST(StartupRegistration, SetReadBackAndDelete) {
    platform::setLaunchOnStartup(true);
    std::string value;
    ASSERT_TRUE(readRunValue(value));
    EXPECT_EQ(value, "\"" + platform::executablePath() + "\"");
    platform::setLaunchOnStartup(false);
    EXPECT_FALSE(readRunValue(value));
    platform::setLaunchOnStartup(false);  // deleting twice is harmless
    EXPECT_FALSE(readRunValue(value));
}

TEST(CommandPipe, MessagesArriveWholeAndAnOversizedOneIsDropped) {
    PipeServer pipe;
    ASSERT_NE(pipe.stop, nullptr);
    ASSERT_NE(pipe.server, nullptr);
    pipe.start();
    ASSERT_TRUE(sendWhenListening("toggleSpammer|"));
    ASSERT_TRUE(sendWhenListening(std::string(600, 'x')));
    ASSERT_TRUE(sendWhenListening("panelHover|1"));
    // The last message is read before its connection is closed and the next
    // instance waits; wait for it before stopping.
    for (int i = 0; i < 500 && pipe.count < 5; ++i) Sleep(2);
    pipe.finish();
    // Each connection ends in -1 when its client has gone; the oversized
    // message ends its own connection the same way, with nothing delivered.
    std::vector<std::string> expected{"toggleSpammer|", "-1", "-1", "panelHover|1", "-1"};
    EXPECT_EQ(pipe.received, expected);
}

TEST(CommandPipe, StopWakesAServerWaitingForAClient) {
    PipeServer pipe;
    pipe.start();
    Sleep(50);
    EXPECT_FALSE(pipe.ended);
    auto before = std::chrono::steady_clock::now();
    platform::stopSignalRaise(pipe.stop);
    for (int i = 0; i < 1000 && !pipe.ended; ++i) Sleep(1);
    EXPECT_TRUE(pipe.ended);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    pipe.finish();
    EXPECT_FALSE(platform::ipcSendMessage("toggleSpammer|"));
}

TEST(CommandPipe, StopEndsAReadFromAClientThatNeverWrites) {
    PipeServer pipe;
    pipe.start();
    HANDLE client = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 500 && client == INVALID_HANDLE_VALUE; ++i) {
        client = CreateFileA("\\\\.\\pipe\\VarnetIPC", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        if (client == INVALID_HANDLE_VALUE) Sleep(2);
    }
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    Sleep(50);
    platform::stopSignalRaise(pipe.stop);
    for (int i = 0; i < 1000 && !pipe.ended; ++i) Sleep(1);
    EXPECT_TRUE(pipe.ended);
    CloseHandle(client);
    pipe.finish();
}
