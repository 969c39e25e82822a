// The start-up registration in the registry and the command pipe, for real.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "bridge/pipe_server.h"
#include "model/state.h"
#include "panels/pipe_client.h"
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

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

void plantRunValue() {
    const char old[] = "\"C:\\Old\\varnet.exe\"";
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, "Varnet", REG_SZ, old, sizeof old), ERROR_SUCCESS);
}

// Sends until a pipe instance takes the message: a client never waits, so the
// test does the waiting for the server to be ready.
bool sendWhenListening(const std::string& message) {
    for (ULONGLONG deadline = GetTickCount64() + 10000; GetTickCount64() < deadline; Sleep(2))
        if (platform::ipcSendMessage(message)) return true;
    return false;
}

HANDLE connectWhenListening() {
    HANDLE client = INVALID_HANDLE_VALUE;
    for (ULONGLONG deadline = GetTickCount64() + 10000;
         client == INVALID_HANDLE_VALUE && GetTickCount64() < deadline; Sleep(2))
        client = CreateFileA(platform::win32::commandPipeName().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    return client;
}

// Writes once: whether a write that the server refuses half-way reports
// failure is a matter of timing, so it is not retried.
void writeOnceWhenListening(const std::string& message) {
    HANDLE client = connectWhenListening();
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(client, message.data(), DWORD(message.size()), &written, nullptr);
    CloseHandle(client);
}

struct PipeServer {
    platform::StopSignal* stop = platform::stopSignalCreate();
    platform::IpcServer* server = platform::ipcServerOpen();
    std::vector<std::string> received;  // "-1" where a read failed
    std::atomic<size_t> count{0};       // of received, for the test thread
    std::atomic<bool> ended{false};
    std::thread thread;

    // Serves clients until stop, as the program's server does: a failed wait
    // for a client is simply tried again.
    void start() {
        thread = std::thread([this] {
            while (WaitForSingleObject(reinterpret_cast<HANDLE>(stop), 0) == WAIT_TIMEOUT) {
                platform::IpcConnection* connection = platform::ipcAcceptClient(server, stop);
                if (!connection) continue;
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

bool waitForCount(const PipeServer& pipe, size_t count, DWORD timeoutMs) {
    for (ULONGLONG deadline = GetTickCount64() + timeoutMs; pipe.count < count && GetTickCount64() < deadline;)
        Sleep(1);
    return pipe.count >= count;
}

void waitUntilEnded(const PipeServer& pipe) {
    for (ULONGLONG deadline = GetTickCount64() + 5000; !pipe.ended && GetTickCount64() < deadline;)
        Sleep(1);
}

}  // namespace

// Start at logon is a scheduler task of this user; the Run value of earlier
// versions goes whichever way the setting is set. The task is read back
// where the scheduler answers.
TEST(StartupRegistration, ALogonTaskIsMadeReadBackAndRemovedAndTheOldRunValueGoes) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string value;
    std::wstring executable;
    plantRunValue();
    platform::setLaunchOnStartup(true);
    EXPECT_FALSE(readRunValue(value));
    const bool answers = platform::win32::readLogonTask(executable);
    if (answers) {
        EXPECT_EQ(platform::win32::narrow(executable), platform::executablePath());
    }
    for (int i = 0; i < 2; ++i) {  // removing twice is harmless
        plantRunValue();
        platform::setLaunchOnStartup(false);
        EXPECT_FALSE(readRunValue(value));
        EXPECT_FALSE(platform::win32::readLogonTask(executable));
        EXPECT_TRUE(!answers || platform::win32::removeLogonTask());
    }
    CoUninitialize();
    if (!answers) GTEST_SKIP() << "the task scheduler does not answer here";
}

TEST(CommandPipe, MessagesArriveWholeAndAnOversizedOneIsDropped) {
    PipeServer pipe;
    ASSERT_NE(pipe.stop, nullptr);
    ASSERT_NE(pipe.server, nullptr);
    pipe.start();
    ASSERT_TRUE(sendWhenListening("toggleSpammer|"));
    writeOnceWhenListening(std::string(600, 'x'));
    // The next client must be served normally. A client that connects while
    // the server is still closing the instance of the oversized message can
    // lose its message (Wine lets it in), as any sender may when the pipe is
    // busy; the panel simply sends again.
    for (ULONGLONG deadline = GetTickCount64() + 10000; GetTickCount64() < deadline;) {
        size_t before = pipe.count;
        ASSERT_TRUE(sendWhenListening("panelHover|1"));
        ULONGLONG settle = GetTickCount64() + 1000;
        while (pipe.count < before + 2 && GetTickCount64() < settle) Sleep(2);
        if (pipe.count >= before + 2) break;
    }
    pipe.finish();
    // Every connection ends in -1 once its client has gone; the oversized
    // message ends its own connection that way with nothing delivered.
    ASSERT_GE(pipe.received.size(), 5u);
    EXPECT_EQ(pipe.received[0], "toggleSpammer|");
    EXPECT_EQ(pipe.received[1], "-1");
    EXPECT_EQ(pipe.received[2], "-1");
    EXPECT_EQ(pipe.received[pipe.received.size() - 2], "panelHover|1");
    for (size_t i = 3; i < pipe.received.size(); ++i)
        EXPECT_TRUE(pipe.received[i] == "panelHover|1" || pipe.received[i] == "-1")
            << pipe.received[i];
}

TEST(CommandPipe, StopWakesAServerWaitingForAClient) {
    PipeServer pipe;
    pipe.start();
    Sleep(50);
    EXPECT_FALSE(pipe.ended);
    platform::stopSignalRaise(pipe.stop);
    waitUntilEnded(pipe);
    EXPECT_TRUE(pipe.ended);
    pipe.finish();
    EXPECT_FALSE(platform::ipcSendMessage("toggleSpammer|"));
}

TEST(CommandPipe, WithoutAStopSignalTheWaitEndsNowAndThen) {
    platform::IpcServer* server = platform::ipcServerOpen();
    EXPECT_EQ(platform::ipcAcceptClient(server, nullptr), nullptr);
    platform::ipcServerClose(server);
}

TEST(CommandPipe, StopEndsAReadFromAClientThatNeverWrites) {
    PipeServer pipe;
    pipe.start();
    HANDLE client = connectWhenListening();
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    Sleep(50);
    platform::stopSignalRaise(pipe.stop);
    waitUntilEnded(pipe);
    EXPECT_TRUE(pipe.ended);
    CloseHandle(client);
    pipe.finish();
}

TEST(CommandPipe, TheProgramsServerAppliesAPanelsCommand) {
    AppState& s = appState();
    s.running = true;
    s.toggleSpammerRequested = false;
    s.pipeStopEvent = platform::stopSignalCreate();
    std::thread server(pipeServerThread);
    for (ULONGLONG deadline = GetTickCount64() + 10000;
         !s.toggleSpammerRequested && GetTickCount64() < deadline; Sleep(20))
        sendPanelCommand("toggleSpammer", "");
    EXPECT_TRUE(s.toggleSpammerRequested);
    s.running = false;
    platform::stopSignalRaise(s.pipeStopEvent);
    server.join();
    platform::stopSignalDestroy(s.pipeStopEvent);
    s.pipeStopEvent = nullptr;
}

TEST(CommandPipe, ASecondServerOnTheNameIsRefusedWithAReason) {
    platform::IpcServer* first = platform::ipcServerOpen();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(platform::ipcServerOpen(), nullptr);
    EXPECT_NE(platform::ipcServerProblem().find("VarnetIPC"), std::string::npos);
    // Nor can anyone make the first instance of the name while we hold it.
    HANDLE other = CreateNamedPipeA(platform::win32::commandPipeName().c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                    PIPE_TYPE_MESSAGE, PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    platform::ipcServerClose(first);
    platform::IpcServer* again = platform::ipcServerOpen();
    EXPECT_NE(again, nullptr);
    platform::ipcServerClose(again);
}

// Another user's Varnet, one in another logon session, or a program that took
// the machine-wide name first holds a name that is not ours.
TEST(CommandPipe, TheNameIsThisUsersAndThisSessionsOwn) {
    const std::string name = platform::win32::commandPipeName();
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    const std::string sessionSuffix = "-" + std::to_string(session);
    ASSERT_EQ(name.rfind("\\\\.\\pipe\\VarnetIPC-S-1-", 0), 0u) << name;
    ASSERT_TRUE(name.ends_with(sessionSuffix)) << name;
    const std::string others[] = {
        "\\\\.\\pipe\\VarnetIPC",
        name.substr(0, name.size() - sessionSuffix.size()) + "-" + std::to_string(session + 1),
        "\\\\.\\pipe\\VarnetIPC-S-1-5-21-1-2-3-4242" + sessionSuffix,
    };
    for (const std::string& other : others) {
        HANDLE taken = CreateNamedPipeA(other.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                        PIPE_TYPE_MESSAGE, 1, 512, 512, 0, nullptr);
        ASSERT_NE(taken, INVALID_HANDLE_VALUE) << other;
        platform::IpcServer* server = platform::ipcServerOpen();
        EXPECT_NE(server, nullptr) << other << ": " << platform::ipcServerProblem();
        platform::ipcServerClose(server);
        CloseHandle(taken);
    }
}

// Each message finds an instance at once, with no retry: the next instance
// exists before the current client is served.
TEST(CommandPipe, TheNameIsNeverFreeBetweenTwoMessages) {
    PipeServer pipe;
    pipe.start();
    ASSERT_TRUE(sendWhenListening("panelHover|0"));
    ASSERT_TRUE(waitForCount(pipe, 1, 5000));
    for (int i = 1; i <= 20; ++i) {
        EXPECT_TRUE(platform::ipcSendMessage("panelHover|1")) << i;
        EXPECT_TRUE(waitForCount(pipe, size_t(2 * i + 1), 5000)) << i;
    }
    pipe.finish();
}

TEST(CommandPipe, ASilentClientHoldsTheServerForASecondAtMost) {
    PipeServer pipe;
    pipe.start();
    HANDLE silent = connectWhenListening();
    ASSERT_NE(silent, INVALID_HANDLE_VALUE);
    const ULONGLONG sent = GetTickCount64();
    ASSERT_TRUE(sendWhenListening("toggleSpammer|"));
    ASSERT_TRUE(waitForCount(pipe, 2, 5000));
    const ULONGLONG served = GetTickCount64() - sent;
    CloseHandle(silent);
    pipe.finish();
    // The silent client's read gave up first, then the message was read.
    EXPECT_EQ(pipe.received[0], "-1");
    EXPECT_EQ(pipe.received[1], "toggleSpammer|");
    EXPECT_LT(served, 2000u);
}

namespace {

// This thread acts at the low integrity level until Revert ends it, as an
// unelevated program would act below an elevated Varnet.
struct LowIntegrityThread {
    bool acting = false;
    LowIntegrityThread() {
        HANDLE process = nullptr, low = nullptr;
        PSID lowLevel = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process) &&
            DuplicateTokenEx(process, TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, nullptr,
                             SecurityImpersonation, TokenImpersonation, &low) &&
            ConvertStringSidToSidA("S-1-16-4096", &lowLevel)) {
            TOKEN_MANDATORY_LABEL label{{lowLevel, SE_GROUP_INTEGRITY}};
            acting = SetTokenInformation(low, TokenIntegrityLevel, &label,
                                         sizeof label + GetLengthSid(lowLevel)) &&
                     SetThreadToken(nullptr, low);
        }
        if (lowLevel) LocalFree(lowLevel);
        if (low) CloseHandle(low);
        if (process) CloseHandle(process);
    }
    ~LowIntegrityThread() { RevertToSelf(); }
};

// The mandatory label the pipe's client end reads, and whether it has one.
bool pipeLabel(HANDLE client, std::string& level, DWORD& mask) {
    PACL sacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(client, SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                        &sacl, &descriptor) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD i = 0; sacl && i < sacl->AceCount && !found; ++i) {
        ACE_HEADER* ace = nullptr;
        if (!GetAce(sacl, i, reinterpret_cast<void**>(&ace)) || ace->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE)
            continue;
        auto* labelAce = reinterpret_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
        char* text = nullptr;
        if (ConvertSidToStringSidA(&labelAce->SidStart, &text)) {
            level = text;
            LocalFree(text);
        }
        mask = labelAce->Mask;
        found = true;
    }
    LocalFree(descriptor);
    return found;
}

std::string processLevel() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    std::string level;
    char* text = nullptr;
    if (size && GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid, &text)) {
        level = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return level;
}

}  // namespace

// An elevated Varnet clicks into elevated windows: its pipe is labelled with
// its own level (no write up), and a sender below that level is refused with
// the reason and --command's exit code 3, where the system enforces labels.
TEST(CommandPipe, TakesNoOrdersFromBelowItsIntegrityLevel) {
    PipeServer pipe;
    ASSERT_NE(pipe.server, nullptr) << platform::ipcServerProblem();
    pipe.start();
    HANDLE client = INVALID_HANDLE_VALUE;
    for (ULONGLONG deadline = GetTickCount64() + 10000;
         client == INVALID_HANDLE_VALUE && GetTickCount64() < deadline; Sleep(2))
        client = CreateFileA(platform::win32::commandPipeName().c_str(), GENERIC_WRITE | READ_CONTROL, 0,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    std::string level;
    DWORD mask = 0;
    const bool labelled = pipeLabel(client, level, mask);
    CloseHandle(client);
    ASSERT_TRUE(waitForCount(pipe, 1, 5000));  // the silent client is dropped

    CommandResult result = CommandResult::NotRunning;
    std::string refusal;
    bool actedLow = false;
    {
        LowIntegrityThread low;
        actedLow = low.acting;
        if (actedLow) {
            result = sendCommandMessage("toggleSpammer|");
            refusal = platform::ipcSendRefusal();
        }
    }
    pipe.finish();
    ASSERT_TRUE(labelled) << "the pipe has no mandatory label";
    EXPECT_EQ(level, processLevel());
    EXPECT_EQ(mask, DWORD(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
    if (!actedLow) GTEST_SKIP() << "this system cannot lower a thread's integrity level (Wine)";
    if (result == CommandResult::Delivered)
        GTEST_SKIP() << "this system does not enforce a pipe's mandatory label (Wine); label " << level;
    EXPECT_EQ(result, CommandResult::Refused);
    EXPECT_NE(refusal.find("higher integrity level than this program"), std::string::npos) << refusal;
}
