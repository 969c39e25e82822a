// Measures the auto-clicker of the real program on a private X server, driven
// through its command pipe and watched through XInput2 raw events, side by
// side with xdotool measured the same way. Prints figures; asserts nothing.
#include <X11/extensions/XInput2.h>
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/e2e/pipe_sender.h"
#include "tests/e2e/raw_observer.h"

namespace {

struct ClickTimes {
    std::vector<int64_t> presses, releases;  // ns, in order
};

struct Figures {
    double clicksPerSecond = 0, meanErrorMs = 0, p99JitterMs = 0, meanClickMs = 0;
    size_t clicks = 0;
};

ClickTimes watchClicks(e2e::RawObserver& observer, size_t expected, int totalMs) {
    ClickTimes times;
    e2e::ObservedEvent event;
    int64_t end = e2e::monotonicNs() + int64_t(totalMs) * 1000000;
    while (times.releases.size() < expected && e2e::monotonicNs() < end) {
        if (!e2e::nextEvent(observer, event, 1000)) continue;
        if (!event.fromXTest || event.detail != 1) continue;
        if (event.type == XI_RawButtonPress) times.presses.push_back(event.at);
        if (event.type == XI_RawButtonRelease) times.releases.push_back(event.at);
    }
    return times;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = std::min(values.size() - 1, size_t(std::ceil(p * double(values.size()))) - 1);
    return values[index];
}

Figures analyse(const ClickTimes& t, double intervalMs) {
    Figures f;
    size_t n = std::min(t.presses.size(), t.releases.size());
    f.clicks = n;
    if (n < 3) return f;
    f.clicksPerSecond = double(n - 1) / (double(t.presses[n - 1] - t.presses[0]) / 1e9);
    std::vector<double> periods;
    double clickSum = 0;
    for (size_t i = 0; i < n; ++i) {
        clickSum += double(t.releases[i] - t.presses[i]) / 1e6;
        if (i > 0) periods.push_back(double(t.presses[i] - t.presses[i - 1]) / 1e6);
    }
    f.meanClickMs = clickSum / double(n);
    double meanPeriod = 0;
    for (double p : periods) meanPeriod += p;
    meanPeriod /= double(periods.size());
    f.meanErrorMs = meanPeriod - (intervalMs + f.meanClickMs);
    std::vector<double> deviations;
    for (double p : periods) deviations.push_back(std::fabs(p - meanPeriod));
    f.p99JitterMs = percentile(deviations, 0.99);
    return f;
}

void drain(e2e::RawObserver& observer) { e2e::collectUntilQuiet(observer, 300, 5000); }

Figures runVarnet(e2e::RawObserver& observer, const std::string& pipe, int intervalMs, int clicks) {
    drain(observer);
    e2e::sendToPipe(pipe, "updateSpammer|0,0,0," + std::to_string(intervalMs) + ",0,0,0," +
                              std::to_string(clicks) + ",0");
    e2e::sendToPipe(pipe, "toggleSpammer|");
    return analyse(watchClicks(observer, size_t(clicks), clicks * (intervalMs + 5) + 5000), intervalMs);
}

Figures runXdotool(e2e::RawObserver& observer, const std::string& display, int delayMs, int clicks) {
    drain(observer);
    std::string command = "DISPLAY=" + display + " xdotool click --repeat " + std::to_string(clicks) +
                          " --delay " + std::to_string(delayMs) + " 1";
    std::thread runner([command] {
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "xdotool failed\n");
    });
    Figures f = analyse(watchClicks(observer, size_t(clicks), clicks * (delayMs + 20) + 5000), delayMs);
    runner.join();
    return f;
}

// CPU time of every thread of the process, in nanoseconds.
int64_t processCpuNs(pid_t pid) {
    std::string dir = "/proc/" + std::to_string(pid) + "/task";
    int64_t total = 0;
    DIR* tasks = opendir(dir.c_str());
    if (!tasks) return 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream in(dir + "/" + entry->d_name + "/schedstat");
        int64_t onCpu = 0;
        if (in >> onCpu) total += onCpu;
    }
    closedir(tasks);
    return total;
}

double cpuPercentOver(pid_t pid, int ms) {
    int64_t cpu0 = processCpuNs(pid), t0 = e2e::monotonicNs();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    int64_t cpu1 = processCpuNs(pid), t1 = e2e::monotonicNs();
    return 100.0 * double(cpu1 - cpu0) / double(t1 - t0);
}

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " " + five;
}

// How late this machine wakes a thread that sleeps to an exact point: the
// floor under any period error and jitter the clicker can reach here.
Figures timerBaseline(int periodMs, int samples) {
    std::vector<double> late;
    int64_t next = e2e::monotonicNs();
    for (int i = 0; i < samples; ++i) {
        next += int64_t(periodMs) * 1000000;
        timespec at{time_t(next / 1000000000), long(next % 1000000000)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
        late.push_back(double(e2e::monotonicNs() - next) / 1e6);
    }
    Figures f;
    for (double l : late) f.meanErrorMs += l;
    f.meanErrorMs /= double(samples);
    f.p99JitterMs = percentile(late, 0.99);
    return f;
}

}  // namespace

int main() {
    std::printf("load average (1, 5 min) at start: %s\n", loadAverage().c_str());
    Figures baseline = timerBaseline(10, 300);
    e2e::XServer x = e2e::startXServer();
    e2e::Folders folders = e2e::makeFolders();
    e2e::RawObserver observer;
    if (!e2e::openObserver(observer, x.display)) {
        std::fprintf(stderr, "cannot watch %s\n", x.display.c_str());
        return 1;
    }
    pid_t pid = e2e::startVarnet(x, folders);
    std::string pipe = e2e::pipePath(folders);
    if (!e2e::waitForPipe(pipe, 20000)) {
        std::fprintf(stderr, "the program's pipe never appeared\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // let the window settle

    double idleCpu = cpuPercentOver(pid, 10000);
    Figures fast = runVarnet(observer, pipe, 1, 3000);
    Figures fastX = runXdotool(observer, x.display, 1, 3000);

    // CPU while clicking every 10 ms, measured during a long run of its own.
    drain(observer);
    e2e::sendToPipe(pipe, "updateSpammer|0,0,0,10,0,0,1,0,0");
    e2e::sendToPipe(pipe, "toggleSpammer|");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    double clickingCpu = cpuPercentOver(pid, 5000);
    e2e::sendToPipe(pipe, "toggleSpammer|");

    Figures paced = runVarnet(observer, pipe, 10, 500);
    Figures pacedX = runXdotool(observer, x.display, 10, 500);

    std::printf("Auto-clicker on Xvfb, watched through XInput2 raw events\n");
    std::printf("%-44s %12s %12s\n", "", "varnet", "xdotool");
    std::printf("%-44s %12.1f %12.1f\n", "clicks per second, interval/delay 1 ms", fast.clicksPerSecond,
                fastX.clicksPerSecond);
    std::printf("%-44s %12.2f\n", "  ratio varnet / xdotool", fast.clicksPerSecond / fastX.clicksPerSecond);
    std::printf("%-44s %12.3f %12.3f\n", "10 ms: mean click (press to release), ms", paced.meanClickMs,
                pacedX.meanClickMs);
    std::printf("%-44s %12.3f %12.3f\n", "10 ms: mean period - (interval + click), ms", paced.meanErrorMs,
                pacedX.meanErrorMs);
    std::printf("%-44s %12.3f %12.3f\n", "10 ms: p99 |period - mean period|, ms", paced.p99JitterMs,
                pacedX.p99JitterMs);
    std::printf("%-44s %12zu %12zu\n", "clicks observed (1 ms run / 10 ms run)", fast.clicks, paced.clicks);
    std::printf("%-44s %11.3f%%\n", "varnet CPU while clicking every 10 ms", clickingCpu);
    std::printf("%-44s %11.3f%%\n", "varnet CPU while idle", idleCpu);
    std::printf("%-44s %12.3f\n", "machine: mean lateness of a 10 ms timer, ms", baseline.meanErrorMs);
    std::printf("%-44s %12.3f\n", "machine: p99 lateness of a 10 ms timer, ms", baseline.p99JitterMs);
    std::printf("load average (1, 5 min) at end: %s\n", loadAverage().c_str());
    std::printf("targets: >= 950/s and >= 1.15x xdotool; error <= 0.1 ms; p99 jitter <= 0.5 ms; idle < 0.2%%\n");

    e2e::terminateAndWait(pid, 5000);
    e2e::closeObserver(observer);
    e2e::stopXServer(x);
    e2e::removeFolders(folders);
    return 0;
}
