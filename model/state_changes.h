// The control thread and, on X11, the capture thread's grabs follow a few
// parts of the state: the four toggle requests, a pending reassignment and
// the key caught for it, a pending pick, the hotkey bindings, hotkeysEnabled
// and running. Whoever changes one of them announces it here, which wakes
// both threads at once; between announcements they sleep.
#pragma once

#include <atomic>
#include <cstdint>

// Raises the request flag, then announces it.
void raiseRequest(std::atomic<bool>& request);
void announceStateChange();
// Clears running and announces it, so every sleeper looks once more and ends.
void requestShutdown();

// The sleeper's side: take the mark before looking at the state, then sleep
// while it stays the same. The sleep also ends after kStateBackstopMs, the
// bound on how long a change that nobody announced could go unseen.
uint32_t stateChangeMark();
constexpr int kStateBackstopMs = 1000;
void waitForStateChange(uint32_t seen, int timeoutMs = kStateBackstopMs);

// Sleeps for milliseconds, ending early when running clears: for threads
// with a period of their own.
void sleepWhileRunning(int milliseconds);
