// The Wayland columns of the engine figures, one a headless compositor (sway,
// kwin, mutter): the real program's auto-clicker at a 1 ms interval as a native
// window sees it, and the time from this process's send (the Linux backend's
// own sender, through the compositor's virtual or fake devices or the
// desktop portal, whose dialog is answered as the tests answer it) to the
// window reading the click. Each compositor is measured by a run of this
// program of its own, since a process takes its output path once. Prints
// figures; asserts nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "model/mouse_flags.h"
#include "platform/platform.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/kwin_session.h"
#include "tests/e2e/mutter_session.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/raw_observer.h"
#include "tests/e2e/sway_session.h"

namespace {

const int kClicks = 1000;

// A running compositor with the logging window on it.
struct Compositor {
    const char* name;
    e2e::WindowLog* log;
    std::vector<std::string> env;
    bool programAsCompositorUser;  // sway will not have root's clients send input
    e2e::MutterSession* desktop = nullptr;  // where the desktop's dialog must allow input
};

// Answers the desktop's dialog, asked for after line before, then clicks
// once at a time until a click arrives: the grant comes a moment after the
// dialog closes.
bool allowInput(const Compositor& compositor, size_t before, const std::function<bool(const std::string&)>& command) {
    if (!compositor.desktop) return true;
    std::string failure;
    if (!e2e::allowInputOnDesktop(*compositor.desktop, before, failure)) {
        std::printf("%-5s %s\n", compositor.name, failure.c_str());
        return false;
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        const size_t from = compositor.log->size();
        if (!command("updateSpammer|0,0,0,20,0,0,0,1,0") || !command("toggleSpammer|")) return false;
        if (compositor.log->waitFor("button 272 0", from, 500)) return true;
    }
    return false;
}

// Each click sent here, and when the window read its press.
void measureLatency(const Compositor& compositor) {
    namespace mf = mouse_flags;
    e2e::WindowLog& log = *compositor.log;
    std::vector<double> micros;
    // The window learns of the new pointer only when it moves over it.
    const size_t before = log.size();
    platform::moveCursorAbsolute(200, 150);
    log.arrivalOf("motion 200 150", before, 5000);
    for (int i = 0; i < kClicks; ++i) {
        const size_t from = log.size();
        const int64_t sent = e2e::monotonicNs();
        platform::sendMouseInput(0, 0, 0, mf::LeftDown);
        const int64_t read = log.arrivalOf("button 272 1", from, 2000);
        platform::sendMouseInput(0, 0, 0, mf::LeftUp);
        log.arrivalOf("button 272 0", from, 2000);
        if (read > 0) micros.push_back(double(read - sent) / 1e3);
    }
    std::printf("%-5s send -> window   %zu of %d clicks seen   p50 %.0f us   p99 %.0f us\n", compositor.name,
                micros.size(), kClicks, percentile(micros, 50), percentile(micros, 99));
}

std::vector<std::string> runAs(const Compositor& compositor, std::vector<std::string> argv) {
    return compositor.programAsCompositorUser ? e2e::asCompositorUser(std::move(argv)) : argv;
}

// The real program clicks kClicks times at 1 ms; the rate is over the
// presses the window read.
void measureClickRate(const Compositor& compositor, const e2e::Folders& folders) {
    e2e::XServer x = e2e::startXServer();
    for (const std::string& variable : compositor.env) putenv(const_cast<char*>(variable.c_str()));
    const size_t asked = compositor.log->size();
    const std::vector<std::string> argv = runAs(compositor, {VARNET_BINARY});
    const pid_t varnet = e2e::startVarnet(x, folders, std::vector<std::string>(argv.begin() + 1, argv.end()), argv[0]);
    const auto command = [&](const std::string& text) {
        const pid_t pid = e2e::spawnProcess(runAs(compositor, {VARNET_BINARY, "--command", text}), compositor.env);
        return e2e::waitForExit(pid, 10000) == 0;
    };
    e2e::WindowLog& log = *compositor.log;
    if (e2e::waitForPipe(e2e::pipePath(folders), 20000) && allowInput(compositor, asked, command)) {
        const size_t from = log.size();
        command("updateSpammer|0,0,0,1,0,0,0," + std::to_string(kClicks) + ",0");
        command("toggleSpammer|");
        log.arrivalOf("button 272 1", from, 15000);
        log.untilQuiet(from, 1000, 60000);
        std::vector<int64_t> presses;
        {
            std::lock_guard<std::mutex> hold(log.lock);
            for (size_t i = from; i < log.lines.size(); ++i)
                if (log.lines[i] == "button 272 1") presses.push_back(log.arrivals[i]);
        }
        const double seconds = presses.size() > 1 ? double(presses.back() - presses.front()) / 1e9 : 0;
        std::printf("%-5s clicker at 1 ms  %zu of %d clicks seen   %.0f clicks/s\n", compositor.name, presses.size(),
                    kClicks, seconds > 0 ? double(presses.size() - 1) / seconds : 0.0);
    } else {
        std::printf("%-5s clicker at 1 ms  the program did not start\n", compositor.name);
    }
    e2e::terminateAndWait(varnet, 5000);
    e2e::stopXServer(x);
}

void measure(const Compositor& compositor, const e2e::Folders& folders) {
    measureClickRate(compositor, folders);
    // This process becomes a client of the compositor for its own sends.
    for (const std::string& variable : compositor.env) putenv(const_cast<char*>(variable.c_str()));
    const size_t asked = compositor.log->size();
    if (!platform::inputGoesThroughCompositor() && compositor.desktop) {
        std::string failure;
        if (!e2e::allowInputOnDesktop(*compositor.desktop, asked, failure))
            std::printf("%-5s %s\n", compositor.name, failure.c_str());
        for (int wait = 0; wait < 500 && !platform::inputGoesThroughCompositor(); ++wait) usleep(10000);
    }
    if (platform::inputGoesThroughCompositor()) measureLatency(compositor);
    else std::printf("%-5s send -> window   the compositor refused our devices\n", compositor.name);
}

void measureOnSway() {
    if (access(e2e::kSway, X_OK) != 0) return void(std::printf("sway  is not installed: no figures\n"));
    e2e::Folders folders = e2e::makeFolders();
    chmod(folders.root.c_str(), 0755);
    e2e::giveToCompositorUser(folders.root);
    e2e::SwaySession sway;
    std::string failure;
    if (e2e::startSway(sway, folders.root, VARNET_WAYLAND_CLIENT, failure))
        measure({"sway", sway.log, sway.env, true}, folders);
    else std::printf("sway  did not start: %s\n", failure.c_str());
    e2e::stopSway(sway);
    e2e::removeFolders(folders);
}

// kwin's permission check is the tests' business: here it grants its fake
// input to this benchmark as well as to the program.
void measureOnKwin() {
    if (!e2e::kwinInstalled()) return void(std::printf("kwin  is not installed: no figures\n"));
    e2e::Folders folders = e2e::makeFolders();
    e2e::KwinSession kwin;
    std::string failure;
    if (e2e::startKwin(kwin, folders.root, folders.runtime, VARNET_WAYLAND_CLIENT, false, failure))
        measure({"kwin", kwin.log, kwin.env, false}, folders);
    else std::printf("kwin  did not start: %s\n", failure.c_str());
    e2e::stopKwin(kwin);
    e2e::removeFolders(folders);
}

// The program's and this benchmark's own requests each wait for the
// desktop's dialog, answered as the tests answer it.
void measureOnMutter() {
    if (!e2e::mutterInstalled()) return void(std::printf("mutter is not installed: no figures\n"));
    e2e::Folders folders = e2e::makeFolders();
    e2e::MutterSession mutter;
    std::string failure;
    if (e2e::startMutter(mutter, folders.root, folders.runtime, VARNET_WAYLAND_CLIENT, failure))
        measure({"mutter", mutter.log, mutter.env, false, &mutter}, folders);
    else std::printf("mutter did not start: %s\n", failure.c_str());
    e2e::stopMutter(mutter);
    e2e::removeFolders(folders);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "sway") == 0) measureOnSway();
    else if (argc > 1 && std::strcmp(argv[1], "kwin") == 0) measureOnKwin();
    else if (argc > 1 && std::strcmp(argv[1], "mutter") == 0) measureOnMutter();
    else
        for (const char* compositor : {"sway", "kwin", "mutter"})
            e2e::waitForExit(e2e::spawnProcess({argv[0], compositor}, {}, STDOUT_FILENO), 300000);
    return 0;
}
