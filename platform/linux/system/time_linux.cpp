// The performance counter is CLOCK_MONOTONIC in nanoseconds.
#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

#include "platform/platform.h"

namespace platform {

int64_t perfCounter() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t perfCounterFrequency() { return 1000000000; }

void sleepMs(int milliseconds) {
    if (milliseconds <= 0) return;
    timespec span{milliseconds / 1000, long(milliseconds % 1000) * 1000000};
    while (nanosleep(&span, &span) != 0 && errno == EINTR) {
    }
}

// An absolute deadline wakes within tens of microseconds of it, and an
// interrupted sleep simply resumes towards the same deadline. The wake-up
// itself costs about that much again, so the last stretch is spent reading
// the clock: a few percent of a core at a thousand waits a second buys a
// wake within microseconds instead of tens of them.
void sleepUntilCounter(int64_t deadline) {
    const int64_t finishOnTheClock = 50000;  // ns
    // The default timer slack (50 µs) would be added to every sleep of this
    // thread; once trimmed it stays so for the thread's life.
    static thread_local bool slackTrimmed = prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    (void)slackTrimmed;
    int64_t wake = deadline - finishOnTheClock;
    if (wake > perfCounter()) {
        timespec at{time_t(wake / 1000000000), long(wake % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
    }
    while (perfCounter() < deadline) {
    }
}

// Linux timers already have fine resolution.
void beginTimerResolution() {}
void endTimerResolution() {}
// The engines' sleeps end on time here at normal priority.
void raiseEngineThreadPriority() {}

}  // namespace platform
