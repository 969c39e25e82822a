// The performance counter and the millisecond timer resolution.
#include <windows.h>
#include <mmsystem.h>

#include "platform/platform.h"

namespace platform {

int64_t perfCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t perfCounterFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

void sleepMs(int milliseconds) {
    if (milliseconds > 0) Sleep(DWORD(milliseconds));
}

// Sleep(1) can overshoot by a scheduler tick, so the last two milliseconds are
// spent polling the counter: a click lands on its deadline, not after it.
void sleepUntilCounter(int64_t deadline) {
    const int64_t twoMs = perfCounterFrequency() / 500;
    for (;;) {
        int64_t remaining = deadline - perfCounter();
        if (remaining <= 0) return;
        if (remaining > twoMs) {
            Sleep(1);
        } else {
            YieldProcessor();
        }
    }
}

void beginTimerResolution() { timeBeginPeriod(1); }
void endTimerResolution() { timeEndPeriod(1); }

}  // namespace platform
