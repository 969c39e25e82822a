// Places follow the XDG base directories: the session in the data home, the
// other writable files in the config home, because an installed binary's own
// folder is not writable.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/linux/system/files_linux.h"
#include "platform/platform.h"

namespace platform {
namespace {

std::string homeDir() {
    const char* home = getenv("HOME");
    return home && *home ? home : ".";
}

// XDG says a relative value is to be ignored.
std::string xdgBase(const char* variable, const char* fallbackUnderHome) {
    const char* value = getenv(variable);
    if (value && value[0] == '/') return value;
    return homeDir() + fallbackUnderHome;
}

std::string parentOf(const std::string& path) {
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// Fills in why the last call failed, from errno; always false.
bool failed(std::string* failure, const char* step) {
    if (failure) *failure = std::string(step) + ": " + std::generic_category().message(errno);
    return false;
}

void syncDirectory(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

char pathSeparator() { return '/'; }

std::string installedPath(const std::string& link) {
    const std::string replaced = " (deleted)";
    if (link.size() <= replaced.size() || !link.ends_with(replaced) || access(link.c_str(), F_OK) == 0)
        return link;
    return link.substr(0, link.size() - replaced.size());
}

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    return installedPath(std::string(buffer, size_t(n)));
}

std::string executableDir() { return parentOf(executablePath()); }

std::string dataDir() { return xdgBase("XDG_DATA_HOME", "/.local/share") + "/Varnet"; }

std::string sideFileDir() { return xdgBase("XDG_CONFIG_HOME", "/.config") + "/varnet"; }

// Creates missing parents too: a fresh account may have no ~/.local/share yet.
bool createDirectory(const std::string& path) {
    if (path.empty()) return false;
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    std::string parent = parentOf(path);
    if (parent != path) createDirectory(parent);
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool pathExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Never over an existing file: renameat2 refuses to replace; where the file
// system cannot do that, a hard link (which also refuses) and an unlink.
bool moveFile(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS) {
        if (link(from.c_str(), to.c_str()) == 0) return unlink(from.c_str()) == 0;
    }
    if (errno != EXDEV || pathExists(to)) return false;
    // Across file systems: copy durably, then remove the original.
    std::string bytes;
    if (!readFile(from, bytes) || !replaceFileDurably(to, bytes)) return false;
    return unlink(from.c_str()) == 0;
}

bool readFile(const std::string& path, std::string& bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes.clear();
    char chunk[65536];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        bytes.append(chunk, size_t(n));
    }
    close(fd);
    return n == 0;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    return close(fd) == 0 && ok;
}

bool replaceFileDurably(const std::string& path, const std::string& bytes, std::string* failure,
                        const RenameGate* gate) {
    static std::atomic<unsigned> sequence{0};
    std::string temporary;
    int fd = -1;
    // A name already taken (planted, or left by a run with our process id)
    // is skipped, never opened.
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temporary = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(sequence++);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return failed(failure, "cannot create a temporary file");
    bool ok = writeAll(fd, bytes) && fsync(fd) == 0;
    int error = errno;
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(temporary.c_str());
        errno = error;
        return failed(failure, "cannot write the temporary file");
    }
    if (gate && !gate->enter(gate->context)) {
        unlink(temporary.c_str());
        return false;
    }
    const bool renamed = rename(temporary.c_str(), path.c_str()) == 0;
    error = errno;
    if (gate) gate->leave(gate->context, renamed);
    if (!renamed) {
        unlink(temporary.c_str());
        errno = error;
        return failed(failure, "cannot rename the temporary file over it");
    }
    syncDirectory(parentOf(path));
    return true;
}

std::vector<std::string> filesInFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        bool plain = entry->d_type == DT_REG;
        struct stat info;
        if (entry->d_type == DT_UNKNOWN)
            plain = fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(info.st_mode);
        if (plain) names.push_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool processRunning(uint64_t processId) {
    if (processId == 0 || processId > uint64_t(INT_MAX)) return false;
    return kill(pid_t(processId), 0) == 0 || errno != ESRCH;
}

}  // namespace platform
