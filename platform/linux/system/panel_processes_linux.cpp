// Pop-out panel processes on Linux: this same executable started again with
// "--child", watched by its pid. Every child is reaped by whoever last holds
// it, so none lingers as a zombie.
#include <errno.h>
#include <glib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"

extern char** environ;

struct ChildProcess {
    pid_t pid = -1;
    bool reaped = false;  // once reaped the pid may belong to someone else: never signal it
};

namespace platform {
namespace {

// The child starts clean: default handlers for the signals this process
// handles or ignores, nothing blocked, and only the standard descriptors (the
// pipe server's socket and the X connection stay here).
bool prepareSpawnAttributes(posix_spawnattr_t& attributes, posix_spawn_file_actions_t& actions) {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGCHLD}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    return posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0;
}

// True when the child has ended (and is now reaped).
bool reapIfEnded(ChildProcess* child) {
    if (child->reaped) return true;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(child->pid, &status, WNOHANG);
        if (done == child->pid || (done < 0 && errno == ECHILD)) {
            child->reaped = true;
            return true;
        }
        if (done < 0 && errno == EINTR) continue;
        return false;
    }
}

void onAbandonedChildEnded(GPid, gint, gpointer) {}

}  // namespace

ChildProcess* spawnPanelProcess(const std::string& argument) {
    const std::string self = executablePath();
    char* argv[] = {const_cast<char*>(self.c_str()), const_cast<char*>("--child"),
                    const_cast<char*>(argument.c_str()), nullptr};
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    pid_t pid = -1;
    bool prepared = prepareSpawnAttributes(attributes, actions);
    // /proc/self/exe still names this program if its file was replaced meanwhile.
    int failed = prepared ? posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv, environ) : -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) return nullptr;
    return new ChildProcess{pid, false};
}

ProcessState childProcessState(ChildProcess* child) {
    if (!child) return ProcessState::Unknown;
    return reapIfEnded(child) ? ProcessState::Ended : ProcessState::Running;
}

// SIGTERM reaches the panel's termination request, which closes its window.
bool askChildToEnd(ChildProcess* child) {
    return child && !reapIfEnded(child) && kill(child->pid, SIGTERM) == 0;
}

// waitpid has no timeout, so this looks in short steps; only shutdown waits here.
bool waitForChildEnd(ChildProcess* child, int timeoutMs) {
    if (!child) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!reapIfEnded(child)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void killChildProcess(ChildProcess* child) {
    if (child && !reapIfEnded(child)) kill(child->pid, SIGKILL);
}

// A child let go while it still runs is handed to the main loop, which reaps
// it whenever it ends.
void releaseChildProcess(ChildProcess* child) {
    if (!child) return;
    if (!reapIfEnded(child)) g_child_watch_add(child->pid, onAbandonedChildEnded, nullptr);
    delete child;
}

}  // namespace platform
