// The Wayland column of the engine figures, on a headless sway: the real
// program's auto-clicker at a 1 ms interval as a native window sees it, and
// the time from this process's send (the Linux backend's own sender, through
// the compositor's virtual pointer) to the window reading the click. Prints
// figures; asserts nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "model/mouse_flags.h"
#include "platform/platform.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/raw_observer.h"
#include "tests/e2e/sway_session.h"

namespace {

const int kClicks = 1000;

// Each click sent here, and when the window read its press.
void measureLatency(e2e::WindowLog& log) {
    namespace mf = mouse_flags;
    std::vector<double> micros;
    // The window learns of the new pointer only when it moves over it.
    const size_t before = log.size();
    platform::sendMouseInput(1, 1, 0, mf::Move);
    log.arrivalOf("motion 101 101", before, 5000);
    for (int i = 0; i < kClicks; ++i) {
        const size_t from = log.size();
        const int64_t sent = e2e::monotonicNs();
        platform::sendMouseInput(0, 0, 0, mf::LeftDown);
        const int64_t read = log.arrivalOf("button 272 1", from, 2000);
        platform::sendMouseInput(0, 0, 0, mf::LeftUp);
        log.arrivalOf("button 272 0", from, 2000);
        if (read > 0) micros.push_back(double(read - sent) / 1e3);
    }
    std::printf("sway  send -> window   %zu of %d clicks seen   p50 %.0f us   p99 %.0f us\n", micros.size(),
                kClicks, percentile(micros, 50), percentile(micros, 99));
}

// The real program clicks kClicks times at 1 ms; the rate is over the
// presses the window read.
void measureClickRate(e2e::SwaySession& sway, const e2e::Folders& folders) {
    e2e::XServer x = e2e::startXServer();
    for (const std::string& variable : sway.env) putenv(const_cast<char*>(variable.c_str()));
    const std::vector<std::string> argv = e2e::asCompositorUser({VARNET_BINARY});
    const pid_t varnet = e2e::startVarnet(x, folders, std::vector<std::string>(argv.begin() + 1, argv.end()), argv[0]);
    const auto command = [&](const std::string& text) {
        const pid_t pid = e2e::spawnProcess(e2e::asCompositorUser({VARNET_BINARY, "--command", text}), sway.env);
        return e2e::waitForExit(pid, 10000) == 0;
    };
    if (e2e::waitForPipe(e2e::pipePath(folders), 20000)) {
        const size_t from = sway.log->size();
        command("updateSpammer|0,0,0,1,0,0,0," + std::to_string(kClicks) + ",0");
        command("toggleSpammer|");
        sway.log->arrivalOf("button 272 1", from, 15000);
        sway.log->untilQuiet(from, 1000, 60000);
        std::vector<int64_t> presses;
        {
            std::lock_guard<std::mutex> hold(sway.log->lock);
            for (size_t i = from; i < sway.log->lines.size(); ++i)
                if (sway.log->lines[i] == "button 272 1") presses.push_back(sway.log->arrivals[i]);
        }
        const double seconds = presses.size() > 1 ? double(presses.back() - presses.front()) / 1e9 : 0;
        std::printf("sway  clicker at 1 ms  %zu of %d clicks seen   %.0f clicks/s\n", presses.size(), kClicks,
                    seconds > 0 ? double(presses.size() - 1) / seconds : 0.0);
    } else {
        std::printf("sway  clicker at 1 ms  the program did not start\n");
    }
    e2e::terminateAndWait(varnet, 5000);
    e2e::stopXServer(x);
}

}  // namespace

int main() {
    if (access(e2e::kSway, X_OK) != 0) {
        std::printf("sway is not installed: no Wayland figures\n");
        return 0;
    }
    e2e::Folders folders = e2e::makeFolders();
    chmod(folders.root.c_str(), 0755);
    e2e::giveToCompositorUser(folders.root);
    e2e::SwaySession sway;
    std::string failure;
    if (e2e::startSway(sway, folders.root, VARNET_WAYLAND_CLIENT, failure)) {
        measureClickRate(sway, folders);
        // This process becomes a client of the compositor for its own sends.
        for (const std::string& variable : sway.env) putenv(const_cast<char*>(variable.c_str()));
        if (platform::inputGoesThroughCompositor()) measureLatency(*sway.log);
        else std::printf("sway  send -> window   the compositor refused the virtual devices\n");
    } else {
        std::printf("sway did not start: %s\n", failure.c_str());
    }
    e2e::stopSway(sway);
    e2e::removeFolders(folders);
    return 0;
}
