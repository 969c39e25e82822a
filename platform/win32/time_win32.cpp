// The performance counter and the millisecond timer resolution.
#include <windows.h>
#include <mmsystem.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

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

namespace {

// Windows 11 grants no raised timer resolution to a process whose windows
// are hidden or covered: Sleep(1) then lasts a 15.6 ms tick. A
// high-resolution waitable timer is not bound to that tick; where the system
// has none (before Windows 10 1803, and under Wine), a plain one stands in.
struct ThreadTimer {
    HANDLE handle = nullptr;
    ThreadTimer() {
        handle = CreateWaitableTimerExW(nullptr, nullptr, win32::kHighResolutionTimerFlag,
                                        TIMER_ALL_ACCESS);
        if (!handle) handle = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
    ~ThreadTimer() {
        if (handle) CloseHandle(handle);
    }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;
};

// Sleeps about milliseconds on this thread's timer; Sleep where it has none.
void sleepOnTimer(int milliseconds) {
    thread_local ThreadTimer timer;
    LARGE_INTEGER due;
    due.QuadPart = -int64_t(milliseconds) * 10000;  // relative, in 100 ns units
    if (timer.handle && SetWaitableTimer(timer.handle, &due, 0, nullptr, nullptr, FALSE))
        WaitForSingleObject(timer.handle, INFINITE);
    else
        Sleep(DWORD(milliseconds));
}

}  // namespace

void sleepMs(int milliseconds) {
    if (milliseconds > 0) sleepOnTimer(milliseconds);
}

// A sleep can overshoot by a scheduler tick, so the last two milliseconds
// are spent polling the counter: a click lands on its deadline, not after it.
void sleepUntilCounter(int64_t deadline) {
    const int64_t twoMs = perfCounterFrequency() / 500;
    for (;;) {
        int64_t remaining = deadline - perfCounter();
        if (remaining <= 0) return;
        if (remaining > twoMs) {
            sleepOnTimer(1);
        } else {
            YieldProcessor();
        }
    }
}

void beginTimerResolution() { timeBeginPeriod(1); }
void endTimerResolution() { timeEndPeriod(1); }

void raiseEngineThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

}  // namespace platform
