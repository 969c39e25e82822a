// The cadence of the auto-clicker and the key spammer on the manual clock:
// each action is due a whole number of intervals after the run's first, so
// neither the action's own time nor a humanised offset adds up, and an action
// that overruns its slot moves the schedule on instead of bursting.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "input/engines.h"
#include "platform/platform.h"
#include "tests/unit/engine_fixture.h"

namespace {

// What each action costs on the manual clock (a nanosecond counter), charged
// at its release; the action numbered slowAction costs slowCostMs instead.
int64_t actionCostMs = 0, slowCostMs = 0;
size_t slowAction = SIZE_MAX;

void chargeAction(const fake::SentInput&) {
    const size_t sent = fake::sentCount();
    if (sent % 2 != 0) return;
    const size_t action = sent / 2 - 1;
    fake::advanceClock((action == slowAction ? slowCostMs : actionCostMs) * 1000000);
}

struct Engine {
    const char* name;
    std::atomic<bool>& active;
    void (*step)();
    // interval, spread, run mode, run length (actions, or seconds when timed)
    void (*configure)(int32_t intervalMs, int32_t spreadMs, int32_t mode, int32_t length);
};

struct Case {
    const char* name;
    int32_t intervalMs, spreadMs;
    int32_t mode, length;  // RunCounted with a count, or RunTimed with seconds
    int64_t costMs;
    size_t slow;
    int64_t slowMs;
    std::vector<int64_t> pressesMs;  // due times from the first press, each within spreadMs
    int64_t endMs;                   // where the run switches itself off
};

class EngineCadence : public EngineTest {};

}  // namespace

TEST_F(EngineCadence, ActionsFollowDeadlinesFromTheRunsStart) {
    AppState& s = appState();
    const Engine engines[] = {
        {"auto-clicker", s.autoClicking, autoClickerStep,
         [](int32_t intervalMs, int32_t spreadMs, int32_t mode, int32_t length) {
             ClickerSettings& c = appState().clicker;
             c.sms = intervalMs;
             c.rndMs = spreadMs;
             c.rptMode = mode;
             c.rptTimes = length;
             c.runS = length;
         }},
        {"key spammer", s.keySpamming, keySpamStep,
         [](int32_t intervalMs, int32_t spreadMs, int32_t mode, int32_t length) {
             KeySpamSettings& k = appState().keySpam;
             k.ksms = intervalMs;
             k.ksRndMs = spreadMs;
             k.ksRptMode = mode;
             k.ksRptTimes = length;
             k.ksRunS = length;
         }},
    };
    std::vector<int64_t> grid100, grid5;
    for (int64_t n = 0; n < 200; ++n) {
        grid100.push_back(n * 100);
        grid5.push_back(n * 5);
    }
    const Case cases[] = {
        {"the action's own time does not add up", 10, 0, RunCounted, 5, 3, SIZE_MAX, 0, {0, 10, 20, 30, 40}, 50},
        {"an overrun moves the schedule on without a burst", 10, 0, RunCounted, 6, 1, 2, 25,
         {0, 10, 20, 45, 55, 65}, 75},
        {"a timed run ends on time inside an interval", 300, 0, RunTimed, 1, 2, SIZE_MAX, 0, {0, 300, 600, 900}, 1000},
        {"humanised offsets stay off their own slot", 100, 30, RunCounted, 200, 0, SIZE_MAX, 0, grid100, 20000},
        // Narrowed to 2 ms either way, so that two actions stay 1 ms apart.
        {"a spread wider than the interval is narrowed", 5, 1000, RunCounted, 200, 0, SIZE_MAX, 0, grid5, 1000},
    };
    for (const Engine& engine : engines) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(engine.name) + ": " + c.name);
            resetEverythingForTest();
            actionCostMs = c.costMs;
            slowAction = c.slow;
            slowCostMs = c.slowMs;
            fake::onSend(chargeAction);
            const int32_t spread = std::min(c.spreadMs, (c.intervalMs - 1) / 2);
            engine.configure(c.intervalMs, c.spreadMs, c.mode, c.length);
            engine.active = true;
            const int64_t t0 = platform::perfCounter();
            for (int steps = 0; engine.active && steps < 1000; ++steps) engine.step();
            EXPECT_FALSE(engine.active);
            const int64_t end = platform::perfCounter() - t0;
            engine.step();  // idle, as the thread would be: the next test's run starts afresh
            EXPECT_GE(end, (c.endMs - spread) * kMs);
            EXPECT_LE(end, (c.endMs + spread) * kMs);

            const std::vector<fake::SentInput> sent = fake::sentInputs();
            ASSERT_EQ(sent.size(), 2 * c.pressesMs.size());
            int64_t lowest = INT64_MAX, highest = INT64_MIN, previous = -kMs;
            for (size_t n = 0; n < c.pressesMs.size(); ++n) {
                const int64_t press = sent[2 * n].at - t0;
                const int64_t offset = press - c.pressesMs[n] * kMs;
                ASSERT_LE(std::abs(offset), spread * kMs) << "press " << n << " at " << press;
                ASSERT_GE(press - previous, kMs) << "press " << n << " too close to the one before";
                previous = press;
                if (n == 0) continue;  // the first goes at once, without an offset
                lowest = std::min(lowest, offset);
                highest = std::max(highest, offset);
            }
            if (spread > 0) {
                EXPECT_GT(highest - lowest, spread * kMs) << "fresh offsets, widely spread";
            }
        }
    }
}
