#include "input/engine_wait.h"

#include <algorithm>

#include "model/state.h"
#include "model/state_changes.h"
#include "platform/platform.h"

int64_t engineFrequency() {
    int64_t frequency = appState().perfFrequency;
    return frequency > 0 ? frequency : platform::perfCounterFrequency();
}

double intervalMilliseconds(int32_t hours, int32_t minutes, int32_t seconds, int32_t milliseconds) {
    double total = double(hours) * 3600000.0 + double(minutes) * 60000.0 + double(seconds) * 1000.0 +
                   double(milliseconds);
    return std::max(1.0, total);
}

double runMilliseconds(int32_t hours, int32_t minutes, int32_t seconds) {
    return double(hours) * 3600000.0 + double(minutes) * 60000.0 + double(seconds) * 1000.0;
}

bool timedRunOver(bool timed, double runMs, int32_t count, std::atomic<int64_t>& runStart, int64_t now) {
    if (count == 0) runStart = now;
    return timed && now - runStart >= intervalTicks(runMs, engineFrequency());
}

void startSchedule(ActionSchedule& schedule, int64_t start) { schedule.slot = start; }

int64_t nextDeadline(ActionSchedule& schedule, int64_t intervalTicks, int64_t offsetTicks, int64_t actionEnd) {
    schedule.slot += intervalTicks;
    const int64_t deadline = schedule.slot + offsetTicks;
    if (deadline >= actionEnd) return deadline;
    schedule.slot = actionEnd;
    return actionEnd;
}

int64_t deadlineWithinRun(int64_t deadline, bool timed, double runMs, int64_t runStart) {
    if (!timed) return deadline;
    return std::min(deadline, runStart + intervalTicks(runMs, engineFrequency()));
}

namespace {

// splitmix64: a full period over 64 bits and good spread for a few draws.
uint64_t nextRandom(RandomSource& random) {
    if (random.state == 0) random.state = uint64_t(platform::perfCounter()) | 1;
    uint64_t z = (random.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

double uniformBetween(RandomSource& random, double low, double high) {
    const double unit = double(nextRandom(random) >> 11) / double(1ull << 53);  // [0, 1)
    return low + (high - low) * unit;
}

int32_t uniformInteger(RandomSource& random, int32_t low, int32_t high) {
    const uint64_t span = uint64_t(int64_t(high) - int64_t(low)) + 1;
    return int32_t(int64_t(low) + int64_t(nextRandom(random) % span));
}

int64_t humanisedOffsetTicks(double intervalMs, int32_t spreadMs, RandomSource& random, int64_t frequency) {
    const double spread = std::clamp(double(spreadMs), 0.0, (intervalMs - 1.0) / 2.0);
    if (spread <= 0.0) return 0;
    return int64_t(uniformBetween(random, -spread, spread) / 1000.0 * double(frequency));
}

int64_t intervalTicks(double milliseconds, int64_t frequency) {
    // About 29 years at a nanosecond counter: longer than anyone waits, and
    // a counter plus this stays far below the 64-bit limit.
    const double longest = 1e18;
    double ticks = milliseconds / 1000.0 * double(frequency);
    return int64_t(std::min(longest, std::max(0.0, ticks)));
}

void waitInterval(int64_t start, int64_t ticks, const std::atomic<bool>& active) {
    waitUntilCounter(start + ticks, active);
}

void waitUntilCounter(int64_t deadline, const std::atomic<bool>& active) {
    const int64_t oneMs = std::max<int64_t>(1, engineFrequency() / 1000);
    while (active && appState().running) {
        int64_t now = platform::perfCounter();
        int64_t remaining = deadline - now;
        if (remaining <= 0) return;
        if (remaining > 2 * oneMs) {
            platform::sleepMs(1);
        } else {
            // The last stretch sleeps to an exact point, still at most 1 ms
            // at a time so the flags are seen as often as before.
            platform::sleepUntilCounter(std::min(deadline, now + oneMs));
        }
    }
}

namespace {
std::atomic<uint32_t> idleWake{0};
}

void waitWhileIdle(const std::atomic<bool>& active) {
    // Taken before the flags are read, so a switch-on between the read and
    // the sleep changes the word and the sleep does not begin.
    uint32_t seen = idleWake.load();
    if (active || !appState().running) return;
    platform::waitWhileEqual(idleWake, seen, kIdleCheckMs);
}

void holdTimerResolutionWhile(bool active, bool& held) {
    if (active == held) return;
    if (active) platform::beginTimerResolution();
    else platform::endTimerResolution();
    held = active;
}

void waitForSessionReturn() {
    AppState& s = appState();
    const uint32_t seen = stateChangeMark();
    if (!s.running) return;
    waitForStateChange(seen, s.sessionAway ? kStateBackstopMs : kRefusedRetryMs);
}

bool sendReleaseUntilTaken(uint32_t (*send)(uint32_t what), uint32_t what) {
    while (send(what) == 0) {
        if (!appState().running) return false;
        waitForSessionReturn();
    }
    return true;
}

void wakeIdleEngines() {
    idleWake.fetch_add(1);
    platform::wakeWaiters(idleWake);
}

void waitDoubleClickGap() {
    int64_t start = platform::perfCounter();
    int64_t gap = int64_t(0.015 * double(engineFrequency()));
    platform::sleepMs(13);
    platform::sleepUntilCounter(start + gap);
}
