// The web engine keeps its data and cache under the user's XDG data and cache
// homes, and its sandbox must bind "<home>/webkitgtk" there. A home that is a
// plain file, unwritable or otherwise unusable makes the web process die
// before the first window, taking the program with it (SIGTRAP). The page
// stores nothing, so such a home is swapped, for the engine alone, for a
// private temporary folder that goes at exit; the program's own files keep
// their places, and their own save errors tell the user what is wrong.
#include <fcntl.h>
#include <ftw.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/linux/gtk/web_data_linux.h"

namespace platform::web_data {
namespace {

std::string temporaryFolder;  // made for this run; empty when none was needed

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : g_get_home_dir();
}

// Makes path and its parents as WebKit would; the error of the first step
// that failed, or 0.
int makeFolders(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    const size_t cut = path.find_last_of('/');
    if (cut != std::string::npos && cut > 0) {
        if (int parentError = makeFolders(path.substr(0, cut))) return parentError;
    }
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

int removeEntry(const char* path, const struct stat*, int, FTW*) {
    remove(path);
    return 0;
}

void removeTemporaryFolder() {
    nftw(temporaryFolder.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Makes the temporary folder once, under $TMPDIR or /tmp, 0700 and of this
// user alone (mkdtemp's own guarantee); empty when it cannot be made.
std::string engineFolder() {
    if (!temporaryFolder.empty()) return temporaryFolder;
    const char* temporary = std::getenv("TMPDIR");
    std::string pattern = std::string(temporary && temporary[0] == '/' ? temporary : "/tmp") +
                          "/varnet-web-XXXXXX";
    if (!mkdtemp(pattern.data())) return "";
    temporaryFolder = pattern;
    std::atexit(removeTemporaryFolder);
    return temporaryFolder;
}

// GLib reads each home once and keeps it; the variable is set only for that
// first read and then put back, so nothing else (the program's own files,
// the processes it starts) sees the swap.
void giveGlibHome(const char* variable, const std::string& folder, const char* (*read)()) {
    const char* before = std::getenv(variable);
    const std::string kept = before ? before : "";
    setenv(variable, folder.c_str(), 1);
    read();
    if (before) {
        setenv(variable, kept.c_str(), 1);
    } else {
        unsetenv(variable);
    }
}

void swapIfUnusable(const char* variable, const char* underHome, const char* name,
                    const char* (*read)()) {
    const std::string home = engineHome(variable, underHome);
    const std::string problem = unusableBecause(home);
    if (problem.empty()) return;
    const std::string folder = engineFolder();
    if (folder.empty()) return;  // nothing better to offer: the engine tries the user's
    const std::string replacement = folder + "/" + name;
    mkdir(replacement.c_str(), 0700);
    giveGlibHome(variable, replacement, read);
    std::fprintf(stderr, "Varnet: the web view cannot keep its %s in %s/webkitgtk (%s); it uses %s "
                 "for this run\n", name, home.c_str(), problem.c_str(), replacement.c_str());
}

const char* readDataHome() { return g_get_user_data_dir(); }
const char* readCacheHome() { return g_get_user_cache_dir(); }

}  // namespace

std::string engineHome(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
    return homeFolder() + underHome;
}

std::string unusableBecause(const std::string& home) {
    const std::string folder = home + "/webkitgtk";
    if (int error = makeFolders(folder)) return std::strerror(error);
    if (access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return "";
}

void useUsableHomes() {
    swapIfUnusable("XDG_DATA_HOME", "/.local/share", "data", readDataHome);
    swapIfUnusable("XDG_CACHE_HOME", "/.cache", "cache", readCacheHome);
}

}  // namespace platform::web_data
