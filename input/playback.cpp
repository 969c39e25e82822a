// The playback thread. Times are offsets from the pass's start; between two
// moments of the schedule an absolute move glides towards its point, so that
// a thinned recording still moves the pointer smoothly. No lock is held while
// waiting or sending: a pass works on its own copy of the list.
#include "input/playback.h"

#include <cmath>
#include <mutex>

#include "app/workers.h"
#include "capture/button_flags.h"
#include "input/engine_wait.h"
#include "platform/platform.h"

namespace {

constexpr double kFinalSpinSeconds = 0.002;

struct PassState {
    int64_t t0 = 0;
    double frequency = 1.0;
    double prevDue = 0.0;
    int32_t glideX = 0, glideY = 0;  // origin of the next glide
    int32_t lastX = -1, lastY = -1;  // last glide point sent
};

double counterFrequency() {
    const int64_t frequency = appState().perfFrequency;
    return double(frequency > 0 ? frequency : platform::perfCounterFrequency());
}

bool keepPlaying() {
    const AppState& s = appState();
    return s.playing && s.running;
}

double secondsSince(int64_t start, double frequency) {
    return double(platform::perfCounter() - start) / frequency;
}

void glideTowards(const MacroEvent& e, double elapsed, double due, PassState& p) {
    const GlidePoint at = glidePoint(p.glideX, p.glideY, e.x, e.y, elapsed, p.prevDue, due);
    if (at.x == p.lastX && at.y == p.lastY) return;
    platform::moveCursorAbsolute(at.x, at.y);
    p.lastX = at.x;
    p.lastY = at.y;
}

// Sleeps in 1 ms steps while more than 2 ms remain, then once to the exact
// deadline. False when playback stopped first.
bool waitUntilDue(const MacroEvent& e, double due, PassState& p) {
    const bool glides = e.kind == AbsMove && due > p.prevDue;
    while (keepPlaying()) {
        const double elapsed = secondsSince(p.t0, p.frequency);
        if (elapsed >= due) return true;
        if (glides) glideTowards(e, elapsed, due, p);
        if (due - elapsed > kFinalSpinSeconds) {
            platform::sleepMs(1);
            continue;
        }
        platform::sleepUntilCounter(p.t0 + int64_t(std::ceil(due * p.frequency)));
        return keepPlaying();
    }
    return false;
}

// A side-button action from an older file names no button; sent as it is it
// would press nothing on Windows and a button that stays down elsewhere.
bool namesItsButton(uint32_t flags) {
    const uint32_t action = buttonActionOf(flags);
    return !(action & (mouse_flags::XDown | mouse_flags::XUp)) || sideButtonOf(flags) != 0;
}

void sendEvent(const MacroEvent& e, PassState& p) {
    switch (e.kind) {
    case AbsMove:
        platform::moveCursorAbsolute(e.x, e.y);
        p.glideX = p.lastX = e.x;
        p.glideY = p.lastY = e.y;
        break;
    case RelMove:
        platform::sendMouseInput(e.x, e.y, 0, mouse_flags::Move);
        break;
    case MouseButton:
        platform::moveCursorAbsolute(e.x, e.y);
        if (namesItsButton(e.flags))
            platform::sendMouseInput(0, 0, sideButtonOf(e.flags), buttonActionOf(e.flags));
        p.glideX = e.x;
        p.glideY = e.y;
        break;
    case KeyStroke:
        platform::sendKeyEvent(uint32_t(e.vk), e.down);
        break;
    case Scroll:
        platform::sendMouseInput(0, 0, uint32_t(e.delta), mouse_flags::Wheel);
        break;
    default:
        break;
    }
}

// The pause between two passes, cut short when playback stops. Its end is
// met exactly, like a due time, so that a long loop does not drift by a
// scheduler tick per pass.
void pauseBetweenPasses(int32_t milliseconds) {
    const int64_t start = platform::perfCounter();
    const double frequency = counterFrequency();
    const double pause = double(milliseconds) / 1000.0;
    while (keepPlaying()) {
        const double remaining = pause - secondsSince(start, frequency);
        if (remaining <= 0.0) return;
        if (remaining > kFinalSpinSeconds) {
            platform::sleepMs(1);
            continue;
        }
        platform::sleepUntilCounter(start + int64_t(std::ceil(pause * frequency)));
        return;
    }
}

std::vector<MacroEvent> copyCurrentEvents() {
    AppState& s = appState();
    std::lock_guard<std::mutex> lock(s.profilesLock);
    if (s.currentProfile < 0 || size_t(s.currentProfile) >= s.profiles.size()) return {};
    return s.profiles[size_t(s.currentProfile)].events;
}

}  // namespace

double playbackDueSeconds(double time, float speed) {
    const double divisor = double(speed);
    if (!(divisor == divisor) || divisor == 0.0) return INFINITY;
    return time / divisor;
}

GlidePoint glidePoint(int32_t originX, int32_t originY, int32_t targetX, int32_t targetY,
                      double elapsed, double prevDue, double due) {
    double u = (elapsed - prevDue) / (due - prevDue);
    if (!(u > 0.0)) u = 0.0;  // also catches NaN
    if (u > 1.0) u = 1.0;
    GlidePoint at;
    at.x = originX + int32_t(std::trunc((double(targetX) - originX) * u));
    at.y = originY + int32_t(std::trunc((double(targetY) - originY) * u));
    return at;
}

bool playPass(const std::vector<MacroEvent>& events) {
    PassState p;
    p.frequency = counterFrequency();
    p.t0 = platform::perfCounter();
    if (!platform::cursorPosition(p.glideX, p.glideY)) p.glideX = p.glideY = 0;
    for (const MacroEvent& e : events) {
        const double due = playbackDueSeconds(e.time, appState().tracker.tspd);
        if (!waitUntilDue(e, due, p)) return false;
        sendEvent(e, p);
        p.prevDue = due;
    }
    return true;
}

void playbackThread() {
    AppState& s = appState();
    while (s.running) {
        if (!s.playing) {
            waitWhileIdle(s.playing);
            continue;
        }
        const std::vector<MacroEvent> events = copyCurrentEvents();
        if (events.empty()) {
            s.playing.exchange(false);
            continue;
        }
        playPass(events);
        if (s.tracker.tloop && s.playing) {
            pauseBetweenPasses(s.tracker.tloopMs);
        } else {
            s.playing.exchange(false);
        }
    }
}
