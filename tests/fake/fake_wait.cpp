// Fake backend: waiting on a word. With the manual clock the wait just moves
// time on by its time-out, so an idle engine step returns at once.
#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "tests/fake/fake_platform.h"

namespace platform {

void waitWhileEqual(const std::atomic<uint32_t>& word, uint32_t seen, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (word.load() == seen && std::chrono::steady_clock::now() < deadline) {
        if (fake::manualClockInUse()) {
            fake::advanceClock(int64_t(timeoutMs) * 1000000);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void wakeWaiters(std::atomic<uint32_t>&) {}

}  // namespace platform
