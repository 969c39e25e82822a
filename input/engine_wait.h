// Timing shared by the auto-clicker and the key spammer: the interval read
// from its four parts and a wait that ends on its deadline, not a poll later.
#pragma once

#include <atomic>
#include <cstdint>

// Ticks per second of platform::perfCounter, as read at start-up.
int64_t engineFrequency();

// hours, minutes, seconds and milliseconds combined in double precision, so
// no value of the parts can overflow; never less than 1 ms.
double intervalMilliseconds(int32_t hours, int32_t minutes, int32_t seconds, int32_t milliseconds);

// The length of a timed run, hours, minutes and seconds combined as
// intervalMilliseconds does; 0 or less ends the run before its first action.
double runMilliseconds(int32_t hours, int32_t minutes, int32_t seconds);

// The interval as counter ticks, capped far beyond any real wait so that a
// deadline computed from it cannot overflow.
int64_t intervalTicks(double milliseconds, int64_t frequency);

// Where a run stands before its next action, the counter at now: its start
// is taken when nothing has been done yet (count 0). True when a timed run's
// length has passed since its start.
bool timedRunOver(bool timed, double runMs, int32_t count, std::atomic<int64_t>& runStart, int64_t now);

// The deadlines of one engine run: the n-th action is due at the run's start
// + n intervals, each deadline moved by its own humanised offset. Neither the
// action's own time, nor a late wake, nor an offset adds up over a run, so
// the asked rate is the rate delivered.
struct ActionSchedule {
    int64_t slot = 0;  // where the latest action was due, before its offset
};

// The run's first action is due at start.
void startSchedule(ActionSchedule& schedule, int64_t start);

// Where the next action is due: one interval after the latest slot, moved by
// offsetTicks. When the action that ended at actionEnd has run past that
// point, the schedule moves on to begin again at actionEnd, so the next
// action goes at once and no burst of overdue ones follows.
int64_t nextDeadline(ActionSchedule& schedule, int64_t intervalTicks, int64_t offsetTicks, int64_t actionEnd);

// A timed run's deadline: the run's end when that comes first.
int64_t deadlineWithinRun(int64_t deadline, bool timed, double runMs, int64_t runStart);

// Humanising: a small generator per engine thread (no allocation, no lock),
// seeded from the counter the first time.
struct RandomSource {
    uint64_t state = 0;
};
// Uniform in [low, high].
double uniformBetween(RandomSource& random, double low, double high);
int32_t uniformInteger(RandomSource& random, int32_t low, int32_t high);

// A fresh uniform offset of up to spreadMs either way for one deadline, as
// counter ticks. The spread is narrowed below half the interval, so that two
// actions stay at least 1 ms apart however their offsets fall.
int64_t humanisedOffsetTicks(double intervalMs, int32_t spreadMs, RandomSource& random, int64_t frequency);

// Waits until ticks have passed since start (or the counter reaches deadline), or until active or running
// clears. Sleeps in 1 ms steps while more than 2 ms remain, so a stop takes
// effect within about a millisecond, then sleeps to the deadline itself.
void waitInterval(int64_t start, int64_t ticks, const std::atomic<bool>& active);
void waitUntilCounter(int64_t deadline, const std::atomic<bool>& active);

// The pause between the two clicks of a double click: at least 15 ms from the
// first release to the second press. Mostly asleep, exact at the end.
void waitDoubleClickGap();

// While the session is away (locked, asleep) an engine sends nothing: this
// sleeps until its return is announced or the program ends. When the
// session is here but refused input (a secure desktop's prompt), it sleeps
// kRefusedRetryMs instead, after which a refused release is sent again.
void waitForSessionReturn();
constexpr int kRefusedRetryMs = 50;
// Sends a release until the system takes it, waiting for the session between
// tries, so that a refused release leaves nothing held; false when the
// program ends first.
bool sendReleaseUntilTaken(uint32_t (*send)(uint32_t what), uint32_t what);

// Holds the system's 1 ms timer resolution while an engine is active and
// gives it back when it is not, so an idle program costs the machine no
// power; held is the engine's own record of its hold. Call with false when
// the engine's thread ends.
void holdTimerResolutionWhile(bool active, bool& held);

// An engine that is off (auto-clicker, key spammer, playback) sleeps here
// until the control thread switches an engine on or the program ends
// (wakeIdleEngines), instead of waking every few ms to look. Every switch-on
// wakes it, so the look after kIdleCheckMs is only a backstop, as long as
// the other sleepers'.
void waitWhileIdle(const std::atomic<bool>& active);
void wakeIdleEngines();
constexpr int kIdleCheckMs = 1000;
