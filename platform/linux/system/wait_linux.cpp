// Waiting on a word with a futex: the sleeper costs nothing until it is woken.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

#include "platform/platform.h"

namespace platform {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "a futex word is 32 bits");

void waitWhileEqual(const std::atomic<uint32_t>& word, uint32_t seen, int timeoutMs) {
    if (timeoutMs <= 0 || word.load() != seen) return;
    timespec timeout{timeoutMs / 1000, long(timeoutMs % 1000) * 1000000};
    // Returns on a wake, on a change that came first, on a signal or at the
    // time-out; every caller looks at its flags again in all four cases.
    syscall(SYS_futex, reinterpret_cast<const uint32_t*>(&word), FUTEX_WAIT_PRIVATE, seen, &timeout,
            nullptr, 0);
}

void wakeWaiters(std::atomic<uint32_t>& word) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace platform
