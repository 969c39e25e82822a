// Playback fidelity on the X server named by DISPLAY (run it on an Xvfb of
// your own): a 10,000-event macro is played and an XInput2 observer notes
// when each key event arrives from the XTest keyboard, against its due time.
// Then a short macro loops for a while, and the drift of each pass's start
// against the ideal schedule is printed. The moment each key is handed to the
// sender is taken too (the link wraps platform::sendKeyEvent), so the
// player's own timing shows apart from the X server's and the observer's.
//   usage: playback_fidelity_bench [loop seconds, default 90]
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "bench/bench_stats.h"
#include "input/playback.h"
#include "model/state.h"
#include "platform/platform.h"

// Link-time wrap of platform::sendKeyEvent(uint32_t, bool).
std::vector<int64_t> keySendTimes;
extern "C" uint32_t __real__ZN8platform12sendKeyEventEjb(uint32_t vk, bool down);
extern "C" uint32_t __wrap__ZN8platform12sendKeyEventEjb(uint32_t vk, bool down) {
    keySendTimes.push_back(platform::perfCounter());
    return __real__ZN8platform12sendKeyEventEjb(vk, down);
}

namespace {

constexpr int kEvents = 10000;
constexpr int32_t kKeyA = 0x41;

// Arrival times of raw key presses and releases from the core XTest keyboard.
struct KeyWatch {
    Display* display = nullptr;
    int opcode = 0, xtestKeyboard = 0;
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::vector<int64_t> arrivals;
    std::thread thread;

    bool open() {
        display = XOpenDisplay(nullptr);
        int event, error, major = 2, minor = 2;
        if (!display || !XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return false;
        XIQueryVersion(display, &major, &minor);
        int count = 0;
        XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
        for (int i = 0; i < count; ++i)
            if (!std::strcmp(devices[i].name, "Virtual core XTEST keyboard")) xtestKeyboard = devices[i].deviceid;
        XIFreeDeviceInfo(devices);
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        XSync(display, False);
        thread = std::thread([this] { run(); });
        return true;
    }
    void run() {
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        while (!stop) {
            poll(&fd, 1, 5);
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                const int64_t at = platform::perfCounter();
                XGenericEventCookie& cookie = event.xcookie;
                if (cookie.type != GenericEvent || cookie.extension != opcode) continue;
                if (!XGetEventData(display, &cookie)) continue;
                if (static_cast<XIRawEvent*>(cookie.data)->sourceid == xtestKeyboard) {
                    std::lock_guard<std::mutex> guard(lock);
                    arrivals.push_back(at);
                }
                XFreeEventData(display, &cookie);
            }
        }
    }
    std::vector<int64_t> take() {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<int64_t> out;
        out.swap(arrivals);
        return out;
    }
    void close() {
        stop = true;
        if (thread.joinable()) thread.join();
        XCloseDisplay(display);
    }
};

MacroEvent keyAt(double time, bool down) {
    MacroEvent e;
    e.kind = KeyStroke;
    e.vk = kKeyA;
    e.down = down;
    e.time = time;
    return e;
}

// Keys with a glided pointer move now and then, about 1 ms apart on average.
std::vector<MacroEvent> longMacro() {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> gap(0.0002, 0.0018);
    std::uniform_int_distribution<int> coordinate(0, 1000);
    std::vector<MacroEvent> events;
    double time = 0.0;
    bool down = true;
    for (int i = 0; i < kEvents; ++i) {
        time += gap(random);
        if (i % 10 == 9) {
            MacroEvent move;
            move.kind = AbsMove;
            move.x = coordinate(random);
            move.y = coordinate(random);
            move.time = time;
            events.push_back(move);
        } else {
            events.push_back(keyAt(time, down));
            down = !down;
        }
    }
    return events;
}

void setProfile(const std::vector<MacroEvent>& events) {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    s.profiles.assign(1, Profile{"bench", "", events});
    s.currentProfile = 0;
}

void printLateness(const char* what, const std::vector<double>& lateMs) {
    std::printf("%s: %zu events\n    lateness p50 %.3f ms   p99 %.3f ms   max %.3f ms   (target p99 <= 1 ms)\n",
                what, lateMs.size(), percentile(lateMs, 50), percentile(lateMs, 99), percentile(lateMs, 100));
}

void singlePass(KeyWatch& watch) {
    const std::vector<MacroEvent> events = longMacro();
    keySendTimes.clear();
    keySendTimes.reserve(kEvents);
    appState().playing = true;
    const int64_t t0 = platform::perfCounter();
    playPass(events);
    appState().playing = false;
    platform::sleepMs(300);
    const std::vector<int64_t> arrivals = watch.take();
    std::vector<double> lateMs, sendLateMs;
    size_t k = 0;
    for (const MacroEvent& e : events) {
        if (e.kind != KeyStroke) continue;
        const double due = double(t0) + e.time * 1e9;
        if (k < keySendTimes.size()) sendLateMs.push_back((double(keySendTimes[k]) - due) / 1e6);
        if (k < arrivals.size()) lateMs.push_back((double(arrivals[k]) - due) / 1e6);
        ++k;
    }
    if (arrivals.size() < 9000) std::printf("  only %zu of 9000 key events arrived\n", arrivals.size());
    std::printf("single pass, 10,000 events (9,000 keys, 1,000 glided moves)\n");
    printLateness("  handed to the sender", sendLateMs);
    printLateness("  seen by a raw-event observer", lateMs);
}

void loopedPasses(KeyWatch& watch, int seconds) {
    constexpr int kKeysPerPass = 100;
    std::vector<MacroEvent> events;
    for (int i = 0; i < kKeysPerPass; ++i) events.push_back(keyAt(0.010 * (i + 1), i % 2 == 0));
    const double period = events.back().time + 0.5;
    setProfile(events);
    appState().tracker.tloop = true;
    appState().tracker.tloopMs = 500;
    appState().playing = true;
    std::thread player(playbackThread);
    platform::sleepMs(seconds * 1000);
    appState().playing = false;
    appState().running = false;
    player.join();
    platform::sleepMs(300);
    const std::vector<int64_t> arrivals = watch.take();
    const size_t passes = arrivals.size() / kKeysPerPass;
    if (passes < 2) {
        std::printf("looped: too few passes arrived\n");
        return;
    }
    std::vector<double> lateMs;
    for (size_t p = 0; p < passes; ++p) {
        const int64_t first = arrivals[p * kKeysPerPass];
        for (int i = 1; i < kKeysPerPass; ++i)
            lateMs.push_back((double(arrivals[p * kKeysPerPass + size_t(i)] - first) -
                              (events[size_t(i)].time - events[0].time) * 1e9) / 1e6);
    }
    const double driftMs =
        (double(arrivals[(passes - 1) * kKeysPerPass] - arrivals[0]) - double(passes - 1) * period * 1e9) / 1e6;
    std::printf("looped: %d s, %zu passes of %.2f s (1.01 s of events + 500 ms pause)\n", seconds, passes, period);
    std::printf("  drift of the last pass's start %.3f ms (%.4f ms per pass)\n", driftMs,
                driftMs / double(passes - 1));
    printLateness("  within passes", lateMs);
}

}  // namespace

int main(int argc, char** argv) {
    const int loopSeconds = argc > 1 ? std::atoi(argv[1]) : 90;
    double load[1] = {0.0};
    if (getloadavg(load, 1) == 1) std::printf("load average at start: %.2f\n", load[0]);
    platform::prepareProcess();
    appState().perfFrequency = platform::perfCounterFrequency();
    platform::moveCursorAbsolute(0, 0);
    KeyWatch watch;
    if (!watch.open()) {
        std::fprintf(stderr, "no X display (set DISPLAY to an Xvfb of your own)\n");
        return 1;
    }
    singlePass(watch);
    loopedPasses(watch, loopSeconds);
    watch.close();
    return 0;
}
