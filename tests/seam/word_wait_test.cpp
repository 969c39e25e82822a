// Waiting on a word, on whichever real backend is linked: a sleeper ends on a
// wake, on a change that came first, or at its time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

TEST(WordWait, AWakeEndsTheSleepLongBeforeItsTimeOut) {
    std::atomic<uint32_t> word{0};
    std::atomic<bool> woke{false};
    auto before = Clock::now();
    std::thread sleeper([&] {
        platform::waitWhileEqual(word, 0, 60000);
        woke = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    word = 1;
    platform::wakeWaiters(word);
    sleeper.join();
    EXPECT_TRUE(woke);
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(30));
}

TEST(WordWait, AChangedWordOrNoTimeNeverSleeps) {
    std::atomic<uint32_t> word{5};
    auto before = Clock::now();
    platform::waitWhileEqual(word, 4, 60000);
    platform::waitWhileEqual(word, 5, 0);
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(30));
}

TEST(WordWait, TheTimeOutEndsAnUnwokenSleep) {
    std::atomic<uint32_t> word{0};
    auto before = Clock::now();
    platform::waitWhileEqual(word, 0, 30);
    EXPECT_GE(Clock::now() - before, std::chrono::milliseconds(25));
}
