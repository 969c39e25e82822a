// The command pipe "\\.\pipe\VarnetIPC-<user's SID>-<session>": message
// mode, local clients only, open to the current user alone, and to programs
// at the server's integrity level or above (an elevated Varnet takes no
// orders from unelevated programs; such a sender is told why). The server holds the name from its first
// instance to its close: it keeps two instances listening, so while one
// client is served the other instance already waits for the next, and no
// other program can slip in between two messages and receive the panels'
// commands. Both instances are all the name allows, so a second server is
// refused even where the first-instance flag is not enforced (Wine). Waits
// and reads are overlapped so that the stop signal ends them at once, and a
// client that stays silent is given up after a second.
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace platform {

// One listening instance and its pending connect.
struct ListeningInstance {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    OVERLAPPED connect{};  // hEvent made once, kept for the instance's life
    bool pending = false;  // a connect is under way on connect
};

struct IpcServer {
    PSECURITY_DESCRIPTOR descriptor = nullptr;  // the current user only
    ListeningInstance instances[2];
};

struct IpcConnection {
    HANDLE pipe;
    HANDLE readDone;  // event of the connection's overlapped reads
    HANDLE stop;      // the stop signal the server waited with, or nullptr
};

namespace {

// Two instances listen: while one client is served, the other waits for the next.
const DWORD kInstances = 2;  // the size of IpcServer::instances
// A panel writes its single message right after connecting; a client that
// stays silent longer than this is not a panel and must not hold the server.
const DWORD kSilentClientMs = 1000;

std::string lastProblem;  // pipe server thread only
thread_local std::string lastRefusal;  // of this thread's last send

HANDLE asEvent(StopSignal* signal) { return reinterpret_cast<HANDLE>(signal); }

// The user of a process's token, as a SID inside buffer.
PSID tokenUser(HANDLE process, std::vector<BYTE>& buffer) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return nullptr;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.resize(size);
    bool ok = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    return ok ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid : nullptr;
}

// Another user's Varnet (fast user switching, both started at logon), or any
// program that took a machine-wide name first, would leave this user's
// panels and commands without a server: the name is this user's and this
// logon session's own, as the one-instance mutex is.
std::string pipeNameNow() {
    std::string name = "\\\\.\\pipe\\VarnetIPC";
    std::vector<BYTE> buffer;
    PSID user = tokenUser(GetCurrentProcess(), buffer);
    char* sid = nullptr;
    if (user && ConvertSidToStringSidA(user, &sid)) {
        name += std::string("-") + sid;
        LocalFree(sid);
    }
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session)) name += "-" + std::to_string(session);
    return name;
}

// The integrity level of a token (its mandatory label's SID), as SDDL text
// and as the level's number (SECURITY_MANDATORY_*_RID); "" and 0 when unknown.
std::string integrityLevel(HANDLE token, DWORD& rid) {
    rid = 0;
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size))
        return "";
    PSID level = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    char* text = nullptr;
    if (!IsValidSid(level) || !ConvertSidToStringSidA(level, &text)) return "";
    rid = *GetSidSubAuthority(level, DWORD(*GetSidSubAuthorityCount(level)) - 1);
    std::string sddl = text;
    LocalFree(text);
    return sddl;
}

// The level this thread acts at: its impersonation token's, else the process's.
std::string ownIntegrityLevel(DWORD& rid) {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        rid = 0;
        return "";
    }
    std::string level = integrityLevel(token, rid);
    CloseHandle(token);
    return level;
}

// Full access for the current user and nobody else (no inherited entries),
// labelled with the server's own integrity level: an elevated Varnet clicks
// and types into elevated windows, so a program below its level (the same
// user's unelevated programs) must not write orders to it (no write up).
PSECURITY_DESCRIPTOR currentUserOnly() {
    std::vector<BYTE> buffer;
    PSID user = tokenUser(GetCurrentProcess(), buffer);
    char* sid = nullptr;
    if (!user || !ConvertSidToStringSidA(user, &sid)) return nullptr;
    std::string sddl = std::string("D:P(A;;GA;;;") + sid + ")";
    LocalFree(sid);
    DWORD rid = 0;
    const std::string level = ownIntegrityLevel(rid);
    if (!level.empty()) sddl += "S:(ML;;NW;;;" + level + ")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return nullptr;
    return descriptor;
}

HANDLE createInstance(IpcServer& server, bool first) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, server.descriptor, FALSE};
    DWORD openMode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED;
    if (first) openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    return CreateNamedPipeA(
        win32::commandPipeName().c_str(), openMode,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        kInstances, 512, 512, 0, &attributes);
}

// Another server holds the name: it made the first instance (access denied
// here) or holds every instance the name allows (pipe busy).
bool heldByAnother(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY; }

void closeInstance(ListeningInstance& instance) {
    if (instance.pipe == INVALID_HANDLE_VALUE) return;
    if (instance.pending) {
        DWORD unused = 0;
        CancelIoEx(instance.pipe, &instance.connect);
        GetOverlappedResult(instance.pipe, &instance.connect, &unused, TRUE);
        instance.pending = false;
    }
    CloseHandle(instance.pipe);
    instance.pipe = INVALID_HANDLE_VALUE;
}

// Makes the instance listen; true when a client is connected already. A
// client that came, wrote and went before the call (ERROR_NO_DATA) may
// still have left its message, so it counts as connected too.
bool listen(IpcServer& server, ListeningInstance& instance) {
    if (instance.pending) return false;
    if (instance.pipe == INVALID_HANDLE_VALUE) instance.pipe = createInstance(server, false);
    if (instance.pipe == INVALID_HANDLE_VALUE) return false;
    ResetEvent(instance.connect.hEvent);
    if (ConnectNamedPipe(instance.pipe, &instance.connect)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) return true;
    if (error == ERROR_IO_PENDING) {
        instance.pending = true;
    } else {
        closeInstance(instance);  // made again at the next call
    }
    return false;
}

// Hands the connected instance over to a connection; its place is filled
// again at the next accept, once that connection is closed.
IpcConnection* takeConnected(ListeningInstance& instance, HANDLE stop) {
    HANDLE readDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE pipe = instance.pipe;
    instance.pipe = INVALID_HANDLE_VALUE;
    instance.pending = false;
    if (!readDone) {
        DisconnectNamedPipe(pipe);
        CloseHandle(pipe);
        return nullptr;
    }
    return new IpcConnection{pipe, readDone, stop};
}

// Without a stop signal the wait for a client ends now and then, so that a
// caller that polls its own flags still gets to look at them.
DWORD clientWaitTimeout(HANDLE stop) { return stop ? INFINITE : 250; }

// Waits for the overlapped operation, for stop or for the time-out; an
// operation that did not complete is cancelled, and its end awaited, before
// the OVERLAPPED goes away.
bool finishOverlapped(HANDLE handle, OVERLAPPED& overlapped, HANDLE stop, DWORD timeoutMs,
                      DWORD& transferred) {
    HANDLE waits[2] = {overlapped.hEvent, stop};
    DWORD count = stop ? 2 : 1;
    DWORD woke = WaitForMultipleObjects(count, waits, FALSE, timeoutMs);
    if (woke == WAIT_OBJECT_0) return GetOverlappedResult(handle, &overlapped, &transferred, FALSE);
    CancelIoEx(handle, &overlapped);
    GetOverlappedResult(handle, &overlapped, &transferred, TRUE);
    return false;
}

// Whether the process at the other end of the pipe runs as the current user:
// a pipe of the same name made by anyone else must not get a panel's command.
bool serverIsCurrentUser(HANDLE pipe) {
    ULONG serverId = 0;
    if (!GetNamedPipeServerProcessId(pipe, &serverId)) return false;
    HANDLE server = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId);
    if (!server) return false;
    std::vector<BYTE> serverBuffer, ownBuffer;
    PSID serverUser = tokenUser(server, serverBuffer);
    PSID ownUser = tokenUser(GetCurrentProcess(), ownBuffer);
    CloseHandle(server);
    return serverUser && ownUser && EqualSid(serverUser, ownUser);
}

std::string refusalText() {
    DWORD rid = 0;
    ownIntegrityLevel(rid);
    if (rid != 0 && rid < SECURITY_MANDATORY_HIGH_RID)
        return "the running Varnet runs as administrator, at a higher integrity level than this "
               "program, and takes no commands from below its level; send it from an elevated "
               "prompt";
    return "the running Varnet refused this program access to " + win32::commandPipeName();
}

}  // namespace

std::string win32::commandPipeName() {
    static const std::string name = pipeNameNow();
    return name;
}

StopSignal* stopSignalCreate() {
    return reinterpret_cast<StopSignal*>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

void stopSignalRaise(StopSignal* signal) {
    if (signal) SetEvent(asEvent(signal));
}

void stopSignalDestroy(StopSignal* signal) {
    if (signal) CloseHandle(asEvent(signal));
}

IpcServer* ipcServerOpen() {
    lastProblem.clear();
    IpcServer* server = new IpcServer;
    for (ListeningInstance& instance : server->instances)
        instance.connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    server->descriptor = currentUserOnly();
    if (!server->descriptor) {
        lastProblem = "cannot describe the pipe's access for the current user";
        ipcServerClose(server);
        return nullptr;
    }
    for (size_t i = 0; i < kInstances; ++i) {
        server->instances[i].pipe = createInstance(*server, i == 0);
        if (server->instances[i].pipe != INVALID_HANDLE_VALUE) continue;
        if (heldByAnother(GetLastError()))
            lastProblem = win32::commandPipeName() + " is held by another program";
        ipcServerClose(server);
        return nullptr;
    }
    return server;
}

std::string ipcServerProblem() { return lastProblem; }

void ipcServerClose(IpcServer* server) {
    if (!server) return;
    for (ListeningInstance& instance : server->instances) {
        closeInstance(instance);
        if (instance.connect.hEvent) CloseHandle(instance.connect.hEvent);
    }
    if (server->descriptor) LocalFree(server->descriptor);
    delete server;
}

IpcConnection* ipcAcceptClient(IpcServer* server, StopSignal* stop) {
    if (!server) return nullptr;
    HANDLE stopEvent = stop ? asEvent(stop) : nullptr;
    HANDLE waits[kInstances + 1];
    ListeningInstance* waitingOn[kInstances];
    DWORD count = 0;
    for (ListeningInstance& instance : server->instances) {
        if (listen(*server, instance)) return takeConnected(instance, stopEvent);
        if (instance.pending) {
            waitingOn[count] = &instance;
            waits[count++] = instance.connect.hEvent;
        }
    }
    if (count == 0) {
        // No instance could be made: try again shortly, unless stop comes first.
        if (stopEvent) {
            WaitForSingleObject(stopEvent, 50);
        } else {
            Sleep(50);
        }
        return nullptr;
    }
    if (stopEvent) waits[count] = stopEvent;
    const DWORD woke = WaitForMultipleObjects(count + (stopEvent ? 1 : 0), waits, FALSE,
                                              clientWaitTimeout(stopEvent));
    // Stop or time-out: the connects stay armed for the next call.
    if (woke >= WAIT_OBJECT_0 + count) return nullptr;
    ListeningInstance& instance = *waitingOn[woke - WAIT_OBJECT_0];
    DWORD unused = 0;
    instance.pending = false;
    if (GetOverlappedResult(instance.pipe, &instance.connect, &unused, FALSE))
        return takeConnected(instance, stopEvent);
    closeInstance(instance);
    return nullptr;
}

int ipcReadMessage(IpcConnection* connection, char* buffer, int capacity) {
    if (!connection || capacity < 1) return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = connection->readDone;
    ResetEvent(overlapped.hEvent);
    DWORD read = 0;
    bool ok = ReadFile(connection->pipe, buffer, DWORD(capacity - 1), nullptr, &overlapped) != 0;
    if (ok) {
        ok = GetOverlappedResult(connection->pipe, &overlapped, &read, FALSE) != 0;
    } else if (GetLastError() == ERROR_IO_PENDING) {
        ok = finishOverlapped(connection->pipe, overlapped, connection->stop, kSilentClientMs, read);
    }
    // A message that did not fit (ERROR_MORE_DATA) is dropped with its connection.
    if (!ok) return -1;
    buffer[read] = '\0';
    return int(read);
}

void ipcCloseConnection(IpcConnection* connection) {
    if (!connection) return;
    DisconnectNamedPipe(connection->pipe);
    CloseHandle(connection->pipe);
    CloseHandle(connection->readDone);
    delete connection;
}

std::string ipcSendRefusal() { return lastRefusal; }

bool ipcSendMessage(const std::string& message) {
    // Identification only: a server of another user learns who we are but
    // cannot act as us. Reading attributes lets us ask for the server's process.
    lastRefusal.clear();
    HANDLE pipe = CreateFileA(win32::commandPipeName().c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        // The name is this user's own, so a refusal comes from the label of a
        // Varnet that runs at a higher level than this program.
        if (GetLastError() == ERROR_ACCESS_DENIED) lastRefusal = refusalText();
        return false;
    }
    DWORD written = 0;
    bool ok = serverIsCurrentUser(pipe) &&
              WriteFile(pipe, message.data(), DWORD(message.size()), &written, nullptr) &&
              written == message.size();
    CloseHandle(pipe);
    return ok;
}

}  // namespace platform
