// The command pipe on Linux: a Unix-domain SOCK_SEQPACKET socket, which keeps
// message boundaries like a message-mode pipe. It lives in the user's runtime
// folder (or a private folder under /tmp), is created 0600, and every peer's
// uid is checked, so only the same user can drive the program through it.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/linux/system/ipc_linux.h"
#include "platform/platform.h"

namespace platform {

struct StopSignal {
    int fd = -1;  // an eventfd that stays readable once raised
};

struct IpcServer {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;  // of the socket file we bound, so we never remove another's
};

struct IpcConnection {
    int fd = -1;
    StopSignal* stop = nullptr;
};

namespace {

// A panel writes its single message right after connecting; a client that
// stays silent longer than this is not a panel and must not hold the server.
const int kSilentClientMs = 1000;

std::string lastProblem;  // pipe server thread only

// Without a runtime folder the socket lives in a folder of our own under
// the temporary folder ($TMPDIR, else /tmp): any user may create names in
// /tmp, so the socket's own name there could be taken first, while a folder
// that is ours and closed to others cannot be entered.
std::string fallbackFolder() {
    const char* temporary = std::getenv("TMPDIR");
    const std::string parent = temporary && temporary[0] == '/' ? temporary : "/tmp";
    return parent + "/varnet-" + std::to_string(getuid());
}

// A runtime folder that is named but missing (after su or sudo -u, which
// keep the caller's) is as good as none.
const char* usableRuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info;
    if (!runtime || !*runtime || stat(runtime, &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
    return runtime;
}

std::string socketPath() { return command_socket::folder() + "/VarnetIPC"; }

// Creates the fallback folder 0700, or accepts it when it is a real folder
// (not a link) of this user, closing it to others; otherwise says why not.
bool privateFallbackFolder(std::string& problem) {
    if (usableRuntimeFolder()) return true;
    const std::string folder = fallbackFolder();
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) {
        problem = folder + " is not a folder of this user; remove it or set XDG_RUNTIME_DIR";
        return false;
    }
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
        problem = "cannot close " + folder + " to other users: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool fillAddress(sockaddr_un& address, const std::string& path) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int newSocket(bool nonBlocking) {
    return socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
}

bool peerIsSameUser(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return false;
    return credentials.uid == getuid();
}

bool someoneListens(const sockaddr_un& address) {
    int fd = newSocket(true);
    if (fd < 0) return false;
    bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                    errno == EAGAIN;
    close(fd);
    return answered;
}

// A socket file left by a run that crashed is ours to replace; a live server
// of another instance, or a file that is not our socket, is left alone.
bool clearStaleSocket(const std::string& path, const sockaddr_un& address) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISSOCK(info.st_mode) || info.st_uid != getuid()) return false;
    if (someoneListens(address)) return false;
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool bindPrivately(int fd, const std::string& path, const sockaddr_un& address) {
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return false;
    // Nobody can connect before listen(), so tightening the mode here leaves no gap.
    // A deep queue lets a burst from several panels wait in the kernel while
    // the server handles one client at a time.
    if (chmod(path.c_str(), 0600) != 0 || listen(fd, SOMAXCONN) != 0) {
        unlink(path.c_str());
        return false;
    }
    return true;
}

// Waits until fd is readable; false when stop was raised, on time-out or error.
bool waitReadable(int fd, StopSignal* stop, int timeoutMs) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop ? stop->fd : -1, POLLIN, 0}};
    for (;;) {
        int ready = poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (fds[1].revents & POLLIN)) return false;
        return (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    }
}

}  // namespace

StopSignal* stopSignalCreate() {
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) return nullptr;
    return new StopSignal{fd};
}

void stopSignalRaise(StopSignal* signal) {
    if (!signal) return;
    uint64_t one = 1;
    ssize_t written = write(signal->fd, &one, sizeof one);
    (void)written;  // a counter already at its limit is raised anyway
}

void stopSignalDestroy(StopSignal* signal) {
    if (!signal) return;
    close(signal->fd);
    delete signal;
}

IpcServer* ipcServerOpen() {
    lastProblem.clear();
    if (!privateFallbackFolder(lastProblem)) return nullptr;
    std::string path = socketPath();
    sockaddr_un address;
    if (!fillAddress(address, path)) {
        lastProblem = "the socket path " + path + " is too long";
        return nullptr;
    }
    if (!clearStaleSocket(path, address)) {
        lastProblem = path + " is taken by another program's file or a server still running";
        return nullptr;
    }
    int fd = newSocket(false);
    if (fd < 0) {
        lastProblem = std::string("cannot make a socket: ") + std::strerror(errno);
        return nullptr;
    }
    struct stat info;
    if (!bindPrivately(fd, path, address) || lstat(path.c_str(), &info) != 0) {
        lastProblem = "cannot listen at " + path + ": " + std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return new IpcServer{fd, info.st_dev, info.st_ino};
}

std::string ipcServerProblem() { return lastProblem; }

void ipcServerClose(IpcServer* server) {
    if (!server) return;
    std::string path = socketPath();
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && info.st_dev == server->device && info.st_ino == server->inode)
        unlink(path.c_str());
    close(server->fd);
    delete server;
}

IpcConnection* ipcAcceptClient(IpcServer* server, StopSignal* stop) {
    if (!server) return nullptr;
    // Without a stop signal the wait must end now and then, or shutdown
    // could never reach a server that nobody calls.
    const int timeoutMs = stop ? -1 : 250;
    for (;;) {
        if (!waitReadable(server->fd, stop, timeoutMs)) return nullptr;
        int fd = accept4(server->fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // A client that gave up before we took it is no failure of ours.
            if (errno == ECONNABORTED || errno == EINTR || errno == EAGAIN) continue;
            return nullptr;
        }
        if (peerIsSameUser(fd)) return new IpcConnection{fd, stop};
        close(fd);
    }
}

int ipcReadMessage(IpcConnection* connection, char* buffer, int capacity) {
    if (!connection || capacity < 1) return -1;
    if (!waitReadable(connection->fd, connection->stop, kSilentClientMs)) return -1;
    iovec part{buffer, size_t(capacity - 1)};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t length;
    do {
        length = recvmsg(connection->fd, &message, MSG_DONTWAIT);
    } while (length < 0 && errno == EINTR);
    // Zero bytes means the client has gone; a cut message is lost whole.
    if (length <= 0 || (message.msg_flags & MSG_TRUNC)) return -1;
    return int(length);
}

void ipcCloseConnection(IpcConnection* connection) {
    if (!connection) return;
    close(connection->fd);
    delete connection;
}

// The kernel drops a flock with the process, so a run that crashed never
// keeps the next one out. A lock that cannot be taken (no folder for it, a
// file planted by someone else) is no win: two main processes would both
// autosave the same session.
InstanceClaim claimMainInstance(std::string& problem) {
    if (!privateFallbackFolder(problem)) return InstanceClaim::Failed;
    const std::string path = socketPath() + ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = "cannot open the lock " + path + ": " + std::strerror(errno);
        return InstanceClaim::Failed;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
        close(fd);
        problem = "the lock " + path + " is not a file of this user; remove it";
        return InstanceClaim::Failed;
    }
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return InstanceClaim::Won;  // held until the process ends; fd stays open
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) return InstanceClaim::HeldByAnother;
    problem = "cannot lock " + path + ": " + std::strerror(error);
    return InstanceClaim::Failed;
}

std::string command_socket::folder() {
    const char* runtime = usableRuntimeFolder();
    return runtime ? runtime : fallbackFolder();
}

// Only this user's processes reach the socket, and all of them may send.
std::string ipcSendRefusal() { return ""; }

bool ipcSendMessage(const std::string& message) {
    sockaddr_un address;
    if (!fillAddress(address, socketPath())) return false;
    // Non-blocking: a server whose queue is full loses the command instead of
    // stalling the panel's window.
    int fd = newSocket(true);
    if (fd < 0) return false;
    bool sent = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                peerIsSameUser(fd) &&
                send(fd, message.data(), message.size(), MSG_NOSIGNAL) == ssize_t(message.size());
    close(fd);
    return sent;
}

}  // namespace platform
