// The playback thread. Times are offsets from the pass's start; between two
// moments of the schedule an absolute move glides towards its point, so that
// a thinned recording still moves the pointer smoothly. No lock is held while
// waiting or sending: a pass works on its own copy of the list.
#include "input/playback.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <mutex>

#include "capture/button_flags.h"
#include "input/engine_wait.h"
#include "input/typing.h"
#include "model/mouse_buttons.h"
#include "model/typed_texts.h"
#include "platform/platform.h"
#include "text/typed_text.h"

namespace {

constexpr double kFinalSpinSeconds = 0.002;
// Later than this, the pass was held up (the clock jumped, the machine slept)
// rather than merely woken late; it resumes from now instead of sending every
// overdue event at once.
constexpr double kReanchorSeconds = 0.25;
constexpr int32_t kWheelNotch = 120;

struct ButtonEdges {
    uint32_t down, up, side;
};
// Every button a macro can press: left, right, middle and the two side buttons.
constexpr ButtonEdges kButtons[] = {{mouse_flags::LeftDown, mouse_flags::LeftUp, 0},
                                    {mouse_flags::RightDown, mouse_flags::RightUp, 0},
                                    {mouse_flags::MiddleDown, mouse_flags::MiddleUp, 0},
                                    {mouse_flags::XDown, mouse_flags::XUp, 1},
                                    {mouse_flags::XDown, mouse_flags::XUp, 2}};
constexpr size_t kButtonCount = sizeof kButtons / sizeof kButtons[0];

// What playback has pressed and not released yet, so that however it ends
// nothing stays held down. The playback thread's own.
struct HeldInput {
    std::bitset<256> keys;
    uint16_t scans[256] = {};  // the scan code each held key went down with
    std::bitset<kButtonCount> buttons;
};
HeldInput held;
bool playbackHoldsResolution = false;  // the 1 ms timer resolution

void noteKey(int32_t vk, uint32_t scan, bool down) {
    if (vk < 0 || vk >= 256) return;
    held.keys.set(size_t(vk), down);
    held.scans[vk] = uint16_t(down ? scan : 0);
}

// A key recorded with its scan code goes as that key: the numeric pad's 7
// with NumLock off is not the Home key beside it, though both are VK_HOME.
uint32_t sendKey(uint32_t vk, uint32_t scan, bool down) {
    return scan != 0 ? platform::sendKeyWithScan(vk, scan, down) : platform::sendKeyEvent(vk, down);
}

void noteButtons(uint32_t flags) {
    const uint32_t action = buttonActionOf(flags);
    for (size_t i = 0; i < kButtonCount; ++i) {
        const ButtonEdges& b = kButtons[i];
        if (b.side != 0 && b.side != sideButtonOf(flags)) continue;
        if (action & b.up) held.buttons.reset(i);
        if (action & b.down) held.buttons.set(i);
    }
}

struct PassState {
    int64_t t0 = 0;
    double frequency = 1.0;
    double prevDue = 0.0;
    double latestDue = 0.0;  // of every event sent so far, so that one re-timed earlier is not late
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
        const double late = elapsed - std::max(due, p.latestDue);
        if (late > kReanchorSeconds) p.t0 += std::llround(late * p.frequency);
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

// One record a notch, so that a stop lands between any two of them: a hostile
// delta would otherwise keep the sender busy long after playback stopped.
void sendScroll(int32_t delta) {
    int32_t left = scrollDeltaToSend(delta);
    while (left != 0 && keepPlaying()) {
        const int32_t step = left > kWheelNotch ? kWheelNotch : left < -kWheelNotch ? -kWheelNotch : left;
        platform::sendMouseInput(0, 0, uint32_t(step), mouse_flags::Wheel);
        left -= step;
    }
}

// A text row types its characters back to back; the events after it are
// due at their own times, which the typing may have passed.
void typeText(int32_t id) {
    thread_local std::u32string characters;
    const std::string* text = typedTextOf(id);
    if (!text) return;
    // Room for the longest text at the first row, so later rows allocate nothing.
    if (characters.capacity() < kMaxTypedCharacters) characters.reserve(kMaxTypedCharacters);
    decodeCharacters(*text, characters);
    typeCharacters(characters, 0, false, appState().playing);
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
        if (namesItsButton(e.flags) && keepPlaying()) {
            if (platform::sendMouseInput(0, 0, sideButtonOf(e.flags), buttonActionOf(e.flags)) != 0)
                noteButtons(e.flags);
        }
        p.glideX = e.x;
        p.glideY = e.y;
        break;
    case KeyStroke:
        // What the system refused changes nothing held: a refused release
        // is sent again when playback ends. A key without a code and without
        // a scan code names no key to press.
        if (e.vk == kKeyWithoutCode && e.scan == 0) break;
        if (sendKey(uint32_t(e.vk), e.scan, e.down) != 0) noteKey(e.vk, e.scan, e.down);
        break;
    case Scroll:
        sendScroll(e.delta);
        break;
    case TypedText:
        typeText(e.x);
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

// Each release is sent until the system takes it (or the program ends).
void releaseHeldPlaybackInput() {
    for (size_t vk = 0; vk < held.keys.size(); ++vk) {
        while (held.keys.test(vk) && sendKey(uint32_t(vk), held.scans[vk], false) == 0 &&
               appState().running)
            waitForSessionReturn();
    }
    for (size_t i = 0; i < kButtonCount; ++i) {
        while (held.buttons.test(i) && platform::sendMouseInput(0, 0, kButtons[i].side, kButtons[i].up) == 0 &&
               appState().running)
            waitForSessionReturn();
    }
    held = HeldInput{};
}

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
    // In double throughout: the way between two 32-bit points can be 2^32
    // long, but every point on it fits in 32 bits again.
    GlidePoint at;
    at.x = int32_t(originX + std::trunc((double(targetX) - originX) * u));
    at.y = int32_t(originY + std::trunc((double(targetY) - originY) * u));
    return at;
}

int32_t scrollDeltaToSend(int32_t delta) {
    return delta > kMaxScrollDelta ? kMaxScrollDelta : delta < -kMaxScrollDelta ? -kMaxScrollDelta : delta;
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
        p.latestDue = std::max(p.latestDue, due);
    }
    return true;
}

bool anotherPassFollows(int32_t passesPlayed, const TrackerSettings& t) {
    return t.tloop || passesPlayed < t.tloopTimes;
}

void playbackThread() {
    AppState& s = appState();
    int32_t passesPlayed = 0;  // of the current playback
    platform::raiseEngineThreadPriority();
    while (s.running) {
        holdTimerResolutionWhile(s.playing, playbackHoldsResolution);
        if (!s.playing) {
            passesPlayed = 0;
            waitWhileIdle(s.playing);
            continue;
        }
        const std::vector<MacroEvent> events = copyCurrentEvents();
        if (events.empty()) {
            s.playing.exchange(false);
            continue;
        }
        // A pass cut short ends this playback; the next starts counting anew.
        passesPlayed = playPass(events) ? passesPlayed + 1 : 0;
        const bool more = anotherPassFollows(passesPlayed, s.tracker);
        if (more && s.playing) pauseBetweenPasses(s.tracker.tloopMs);
        if (!more) {
            s.playing.exchange(false);
            passesPlayed = 0;
        }
        // Stopped, finished or shut down: whatever is still pressed goes up now.
        if (!keepPlaying()) releaseHeldPlaybackInput();
    }
    holdTimerResolutionWhile(false, playbackHoldsResolution);
}
