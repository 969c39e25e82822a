#include "tests/e2e/kwin_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/e2e/harness.h"

namespace e2e {

namespace fs = std::filesystem;

bool kwinInstalled() {
    return access(kKwin, X_OK) == 0 && access(kDbusDaemon, X_OK) == 0;
}

// The copy keeps the name kwin_wayland, or it does not find its Qt plugins.
bool startKwin(KwinSession& session, const std::string& root, const std::string& runtime,
               const std::string& loggerBinary, bool checkPermissions, std::string& failure) {
    const std::string bin = root + "/bin";
    fs::create_directories(bin);
    fs::copy_file(kKwin, bin + "/kwin_wayland", fs::copy_options::overwrite_existing);
    fs::create_directories(runtime);
    chmod(runtime.c_str(), 0700);
    const std::string busPath = root + "/bus";
    session.bus = spawnProcess({kDbusDaemon, "--session", "--nofork", "--address=unix:path=" + busPath}, {});
    if (session.bus < 0 || !waitForFile(busPath, 10000)) {
        failure = "the session bus did not start";
        return false;
    }
    session.env = {"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY=" + std::string(kKwinSocket),
                   "DBUS_SESSION_BUS_ADDRESS=unix:path=" + busPath};
    std::vector<std::string> env = session.env;
    env.insert(env.end(), {"HOME=" + root, "XDG_DATA_HOME=" + root + "/.local/share", "KWIN_COMPOSE=Q"});
    if (!checkPermissions) env.push_back("KWIN_WAYLAND_NO_PERMISSION_CHECKS=1");
    session.kwin = spawnProcess({bin + "/kwin_wayland", "--virtual", "--socket", kKwinSocket, "--width", "1280",
                                 "--height", "800", "--no-lockscreen"},
                                env);
    if (session.kwin < 0 || !waitForFile(runtime + "/" + kKwinSocket, 20000)) {
        failure = "kwin did not start";
        return false;
    }
    session.log = startLoggingWindow(loggerBinary, session.env, session.logger, failure);
    // kwin maps the window once it has drawn its first configure; input sent
    // before then reaches no window (a quick machine's first clicks did).
    if (failure.empty() && !session.log->waitForLineStarting("configured ", 0, 15000))
        failure = "the logging window was never configured";
    return failure.empty();
}

void stopKwin(KwinSession& session) {
    stopLoggingWindow(session.log, session.logger);
    for (pid_t* pid : {&session.kwin, &session.bus})
        if (*pid > 0) terminateAndWait(*pid, 5000), *pid = -1;
}

}  // namespace e2e
