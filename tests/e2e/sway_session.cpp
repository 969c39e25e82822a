#include "tests/e2e/sway_session.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "tests/e2e/harness.h"
#include "tests/e2e/raw_observer.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string firstMatching(const std::string& folder, const std::string& prefix, const std::string& suffix) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 && name.find(".lock") == std::string::npos)
            return entry.path().string();
    }
    return "";
}

struct SwaySockets {
    std::string runtime, wayland, ipc;  // wayland: the display's name, ipc: a path
};

bool findSockets(SwaySockets& sockets) {
    sockets.wayland = fs::path(firstMatching(sockets.runtime, "wayland-", "")).filename().string();
    sockets.ipc = firstMatching(sockets.runtime, "sway-ipc.", ".sock");
    return !sockets.wayland.empty() && !sockets.ipc.empty();
}

bool waitForSockets(SwaySockets& sockets) {
    return e2e::waitUntil(10000, [](const void* p) {
        return findSockets(*static_cast<SwaySockets*>(const_cast<void*>(p)));
    }, &sockets);
}

}  // namespace

void WindowLog::readFrom(int fd) {
    reader = std::thread([this, fd] {
        std::string pending;
        char buffer[4096];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
            const int64_t now = monotonicNs();
            pending.append(buffer, size_t(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                std::lock_guard<std::mutex> hold(lock);
                lines.push_back(pending.substr(0, end));
                arrivals.push_back(now);
                grew.notify_all();
            }
        }
        close(fd);
    });
}

size_t WindowLog::size() {
    std::lock_guard<std::mutex> hold(lock);
    return lines.size();
}

bool WindowLog::waitFor(const std::string& text, size_t from, int timeoutMs) {
    return indexOf(text, from, timeoutMs) != kNever;
}

size_t WindowLog::indexOf(const std::string& text, size_t from, int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock);
    size_t found = kNever;
    grew.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
        const auto at = std::find(lines.begin() + long(std::min(from, lines.size())), lines.end(), text);
        if (at != lines.end()) found = size_t(at - lines.begin());
        return found != kNever;
    });
    return found;
}

bool WindowLog::waitForLineStarting(const std::string& prefix, size_t from, int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock);
    return grew.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(lines.begin() + long(std::min(from, lines.size())), lines.end(),
                           [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    });
}

int64_t WindowLog::arrivalOf(const std::string& text, size_t from, int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock);
    size_t found = lines.size();
    const auto seen = [&] {
        found = size_t(std::find(lines.begin() + long(std::min(from, lines.size())), lines.end(), text) - lines.begin());
        return found < lines.size();
    };
    return grew.wait_for(hold, std::chrono::milliseconds(timeoutMs), seen) ? arrivals[found] : -1;
}

std::vector<std::string> WindowLog::untilQuiet(size_t from, int quietMs, int totalMs) {
    std::unique_lock<std::mutex> hold(lock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(totalMs);
    for (size_t seen = lines.size(); std::chrono::steady_clock::now() < deadline; seen = lines.size()) {
        if (!grew.wait_for(hold, std::chrono::milliseconds(quietMs), [&] { return lines.size() > seen; })) break;
    }
    return std::vector<std::string>(lines.begin() + long(std::min(from, lines.size())), lines.end());
}

// sway will not run as root; as root the compositor and the program run as
// nobody (a root client may still connect to the compositor).
std::vector<std::string> asCompositorUser(std::vector<std::string> argv) {
    if (geteuid() != 0) return argv;
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"});
    return argv;
}

void giveToCompositorUser(const std::string& path) {
    if (geteuid() != 0) return;
    const passwd* nobody = getpwnam("nobody");
    if (!nobody) return;
    for (const auto& entry : fs::recursive_directory_iterator(path))
        [[maybe_unused]] int ignored = chown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid);
    [[maybe_unused]] int ignored = chown(path.c_str(), nobody->pw_uid, nobody->pw_gid);
}

bool startSway(SwaySession& session, const std::string& root, const std::string& loggerBinary,
               std::string& failure, const std::vector<std::string>& extraEnv, const std::string& extraConfig) {
    session.root = root;
    const std::string runtime = root + "/runtime";
    fs::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    writeFile(root + "/sway.config",
              "output HEADLESS-1 resolution 1280x800\ndefault_border none\nxwayland disable\n" + extraConfig);
    giveToCompositorUser(root);
    std::vector<std::string> env{"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                                 "XDG_RUNTIME_DIR=" + runtime, "HOME=" + root};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    session.sway = spawnProcess(asCompositorUser({kSway, "-c", root + "/sway.config"}), env);
    SwaySockets sockets{runtime, "", ""};
    if (session.sway < 0 || !waitForSockets(sockets)) {
        failure = "sway did not start";
        return false;
    }
    session.env = {"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY=" + sockets.wayland, "SWAYSOCK=" + sockets.ipc};
    session.log = startLoggingWindow(loggerBinary, session.env, session.logger, failure);
    return failure.empty();
}

void stopSway(SwaySession& session) {
    stopLoggingWindow(session.log, session.logger);
    if (session.sway > 0) terminateAndWait(session.sway, 5000), session.sway = -1;
}

WindowLog* startLoggingWindow(const std::string& loggerBinary, const std::vector<std::string>& env, pid_t& logger,
                              std::string& failure) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        failure = "no pipe for the logging window";
        return nullptr;
    }
    logger = spawnProcess({loggerBinary, "log"}, env, out[1]);
    close(out[1]);
    auto* log = new WindowLog;
    log->readFrom(out[0]);
    if (!log->waitFor("configured 1280x800", 0, 15000)) failure = "the logging window was never configured";
    return log;
}

// The window ends first: its lines end with it and the reader with them.
void stopLoggingWindow(WindowLog*& log, pid_t& logger) {
    if (logger > 0) terminateAndWait(logger, 5000), logger = -1;
    if (!log) return;
    if (log->reader.joinable()) log->reader.join();
    delete log;
    log = nullptr;
}

}  // namespace e2e
