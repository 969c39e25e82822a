// A headless sway for the tests and benchmarks on Wayland: started as the
// recipes say (as nobody when run as root, since sway refuses root), its
// sockets found by name, and the lines of the logging window
// (wayland_client_main.cpp) gathered as they come.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

inline constexpr char kSway[] = "/usr/bin/sway";

// What the logging window printed, one entry a line, read by a thread of its own.
struct WindowLog {
    std::mutex lock;
    std::condition_variable grew;
    std::vector<std::string> lines;
    std::vector<int64_t> arrivals;  // monotonicNs() when each line was read
    std::thread reader;

    void readFrom(int fd);
    size_t size();
    static constexpr size_t kNever = size_t(-1);

    // Waits until a line equal to text follows line from; true once it does.
    bool waitFor(const std::string& text, size_t from, int timeoutMs);
    // The same, giving that line's index; kNever if it did not come in time.
    size_t indexOf(const std::string& text, size_t from, int timeoutMs);
    // The same for a line that begins with prefix.
    bool waitForLineStarting(const std::string& prefix, size_t from, int timeoutMs);
    // When the first line equal to text after line from was read
    // (monotonicNs), waiting for it at most timeoutMs; -1 if it never came.
    int64_t arrivalOf(const std::string& text, size_t from, int timeoutMs);
    // The lines after from, once quietMs pass without a new one.
    std::vector<std::string> untilQuiet(size_t from, int quietMs, int totalMs);
};

// Starts the logging window on the compositor env names and reads its lines.
// failure gets a reason when it is not configured full-screen in time; the
// log is returned even then, for stopLoggingWindow to end.
WindowLog* startLoggingWindow(const std::string& loggerBinary, const std::vector<std::string>& env, pid_t& logger,
                              std::string& failure);
void stopLoggingWindow(WindowLog*& log, pid_t& logger);

// The argument list that runs argv as the compositor's user.
std::vector<std::string> asCompositorUser(std::vector<std::string> argv);
// Hands a folder and all in it to the compositor's user.
void giveToCompositorUser(const std::string& path);

struct SwaySession {
    pid_t sway = -1, logger = -1;
    std::string root;  // the config and runtime folder live here
    // XDG_RUNTIME_DIR, WAYLAND_DISPLAY and SWAYSOCK of the session.
    std::vector<std::string> env;
    WindowLog* log = nullptr;
};

// Starts sway on a 1280x800 headless output with its runtime folder in
// root/runtime (root must exist and be the compositor user's), then the
// logging window, full-screen; false with a reason when either fails.
// extraEnv reaches sway, and so the commands its bindings run; extraConfig
// ends its configuration (the person's own bindings).
bool startSway(SwaySession& session, const std::string& root, const std::string& loggerBinary,
               std::string& failure, const std::vector<std::string>& extraEnv = {},
               const std::string& extraConfig = "");
void stopSway(SwaySession& session);

}  // namespace e2e
