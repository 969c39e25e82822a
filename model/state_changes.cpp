#include "model/state_changes.h"

#include <algorithm>

#include "model/state.h"
#include "platform/platform.h"

namespace {
std::atomic<uint32_t> stateChanges{0};
}

void announceStateChange() {
    stateChanges.fetch_add(1);
    platform::wakeWaiters(stateChanges);
    platform::captureThreadWake();
}

void raiseRequest(std::atomic<bool>& request) {
    request.exchange(true);
    announceStateChange();
}

void requestShutdown() {
    appState().running = false;
    announceStateChange();
}

uint32_t stateChangeMark() { return stateChanges.load(); }

void waitForStateChange(uint32_t seen, int timeoutMs) {
    platform::waitWhileEqual(stateChanges, seen, std::min(timeoutMs, kStateBackstopMs));
}

void sleepWhileRunning(int milliseconds) {
    const int64_t frequency = platform::perfCounterFrequency();
    const int64_t deadline = platform::perfCounter() + int64_t(milliseconds) * frequency / 1000;
    for (;;) {
        const uint32_t seen = stateChanges.load();
        const int64_t left = deadline - platform::perfCounter();
        if (left <= 0 || !appState().running) return;
        // Rounded up, so the last stretch is never a wait of zero that spins.
        const int leftMs = int(std::min<int64_t>((left * 1000 + frequency - 1) / frequency, milliseconds));
        platform::waitWhileEqual(stateChanges, seen, leftMs);
    }
}
