// Waiting on a word with WaitOnAddress: the sleeper costs nothing until it is
// woken, and a change that came first ends the wait before it begins.
#include <windows.h>
#include <synchapi.h>

#include "platform/platform.h"

namespace platform {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "the word is 32 bits");

void waitWhileEqual(const std::atomic<uint32_t>& word, uint32_t seen, int timeoutMs) {
    if (timeoutMs <= 0 || word.load() != seen) return;
    // Returns on a wake, on a change, spuriously or at the time-out; every
    // caller looks at its flags again in all cases.
    WaitOnAddress(const_cast<std::atomic<uint32_t>*>(&word), &seen, sizeof seen, DWORD(timeoutMs));
}

void wakeWaiters(std::atomic<uint32_t>& word) { WakeByAddressAll(&word); }

}  // namespace platform
