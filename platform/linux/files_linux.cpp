// Places follow the XDG base directories: the session in the data home, the
// other writable files in the config home, because an installed binary's own
// folder is not writable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

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

void syncDirectory(const std::string& dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

char pathSeparator() { return '/'; }

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    return std::string(buffer, size_t(n));
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

bool moveFile(const std::string& from, const std::string& to) {
    if (rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    // Across file systems: copy durably, then remove the original.
    FILE* in = fopen(from.c_str(), "rb");
    if (!in) return false;
    std::string bytes;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, in)) > 0) bytes.append(chunk, n);
    bool readOk = !ferror(in);
    fclose(in);
    if (!readOk || !replaceFileDurably(to, bytes)) return false;
    return unlink(from.c_str()) == 0;
}

bool replaceFileDurably(const std::string& path, const std::string& bytes) {
    static std::atomic<unsigned> sequence{0};
    std::string temporary =
        path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(sequence++);
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    syncDirectory(parentOf(path));
    return true;
}

}  // namespace platform
