// The command pipe "\\.\pipe\VarnetIPC": one message-mode instance at a time,
// local clients only. Waits for a client and reads are overlapped so that the
// stop signal ends them at once.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

struct IpcServer {
    int unused;
};

struct IpcConnection {
    HANDLE pipe;
    HANDLE readDone;  // event of the connection's overlapped reads
    HANDLE stop;      // the stop signal the server waited with, or nullptr
};

namespace {

const char kPipeName[] = "\\\\.\\pipe\\VarnetIPC";
IpcServer serverMarker{};

HANDLE asEvent(StopSignal* signal) { return reinterpret_cast<HANDLE>(signal); }

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

// Without a stop signal the wait for a client ends now and then, so that a
// caller that polls its own flags still gets to look at them.
DWORD clientWaitTimeout(HANDLE stop) { return stop ? INFINITE : 250; }

bool waitForClient(HANDLE pipe, HANDLE stop) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return false;
    bool connected = ConnectNamedPipe(pipe, &overlapped) != 0;
    if (!connected) {
        DWORD error = GetLastError();
        DWORD unused = 0;
        if (error == ERROR_PIPE_CONNECTED) {
            connected = true;
        } else if (error == ERROR_IO_PENDING) {
            connected = finishOverlapped(pipe, overlapped, stop, clientWaitTimeout(stop), unused);
        }
    }
    CloseHandle(overlapped.hEvent);
    return connected;
}

}  // namespace

StopSignal* stopSignalCreate() {
    return reinterpret_cast<StopSignal*>(CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

void stopSignalRaise(StopSignal* signal) {
    if (signal) SetEvent(asEvent(signal));
}

void stopSignalDestroy(StopSignal* signal) {
    if (signal) CloseHandle(asEvent(signal));
}

// The instance is created per client in ipcAcceptClient; the server itself
// holds nothing.
IpcServer* ipcServerOpen() { return &serverMarker; }

void ipcServerClose(IpcServer*) {}

IpcConnection* ipcAcceptClient(IpcServer*, StopSignal* stop) {
    HANDLE stopEvent = stop ? asEvent(stop) : nullptr;
    HANDLE pipe = CreateNamedPipeA(
        kPipeName, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, 512, 512, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        // Try again shortly, unless stop comes first.
        if (stopEvent) {
            WaitForSingleObject(stopEvent, 50);
        } else {
            Sleep(50);
        }
        return nullptr;
    }
    HANDLE readDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!readDone || !waitForClient(pipe, stopEvent)) {
        if (readDone) CloseHandle(readDone);
        DisconnectNamedPipe(pipe);
        CloseHandle(pipe);
        return nullptr;
    }
    return new IpcConnection{pipe, readDone, stopEvent};
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
        ok = finishOverlapped(connection->pipe, overlapped, connection->stop, INFINITE, read);
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

bool ipcSendMessage(const std::string& message) {
    HANDLE pipe = CreateFileA(kPipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(pipe, message.data(), DWORD(message.size()), &written, nullptr) &&
              written == message.size();
    CloseHandle(pipe);
    return ok;
}

}  // namespace platform
