// Timing while the program's windows are hidden: power throttling switched
// off, and sleeps on a waitable timer that still end on their deadlines.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

TEST(HiddenTiming, PowerThrottlingIsSwitchedOffAsReadBack) {
    if (!platform::win32::optOutOfPowerThrottling())
        GTEST_SKIP() << "the system keeps no power throttling state, error " << GetLastError();
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    if (!GetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state))
        GTEST_SKIP() << "the system does not read it back, error " << GetLastError();
    EXPECT_EQ(state.ControlMask,
              DWORD(PROCESS_POWER_THROTTLING_EXECUTION_SPEED | PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION));
    EXPECT_EQ(state.StateMask, 0u);
}

// Never early, whichever way the wait goes: past, inside the final spin,
// and across timer waits.
TEST(HiddenTiming, SleepsOnTheTimerNeverEndBeforeTheirDeadline) {
    const int64_t frequency = platform::perfCounterFrequency();
    for (double milliseconds : {-1.0, 0.0, 0.5, 2.5, 7.0}) {
        SCOPED_TRACE(milliseconds);
        const int64_t deadline = platform::perfCounter() + int64_t(milliseconds * double(frequency) / 1000.0);
        platform::sleepUntilCounter(deadline);
        EXPECT_GE(platform::perfCounter(), deadline);
    }
    const int64_t before = platform::perfCounter();
    platform::sleepMs(3);
    EXPECT_GE(platform::perfCounter() - before, 3 * frequency / 1000 - frequency / 10000);
}
