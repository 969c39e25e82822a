// The ring between the hooks and the recording thread: order kept across the
// wrap, a full ring refusing (and counting) instead of overwriting, and one
// producer racing one consumer losing nothing and reordering nothing.
#include <gtest/gtest.h>

#include <thread>

#include "capture/input_ring.h"

namespace {

RingEntry keyEntry(int32_t code) {
    RingEntry entry;
    entry.event.code = code;
    return entry;
}

}  // namespace

TEST(InputRing, FullRingRefusesCountsAndKeepsWhatItHolds) {
    InputRing ring;
    ringReserve(ring, 3);  // rounded up to 4
    RingEntry out;
    for (int round = 0; round < 3; ++round) {  // the indices wrap past the slots
        for (int32_t code = 1; code <= 4; ++code) EXPECT_TRUE(ringPush(ring, keyEntry(code)));
        EXPECT_FALSE(ringPush(ring, keyEntry(99)));
        for (int32_t code = 1; code <= 4; ++code) {
            ASSERT_TRUE(ringPop(ring, out));
            EXPECT_EQ(out.event.code, code);
        }
        EXPECT_FALSE(ringPop(ring, out));
    }
    EXPECT_EQ(ring.dropped.load(), 3u);
}

TEST(InputRing, AProducerAndAConsumerRacingKeepOrder) {
    InputRing ring;
    ringReserve(ring, 64);
    constexpr int32_t kCount = 50000;
    std::thread producer([&] {
        for (int32_t code = 0; code < kCount; ++code)
            while (!ringPush(ring, keyEntry(code))) std::this_thread::yield();
    });
    int32_t expected = 0;
    RingEntry out;
    while (expected < kCount) {
        if (!ringPop(ring, out)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(out.event.code, expected);
        ++expected;
    }
    producer.join();
    EXPECT_FALSE(ringPop(ring, out));
}
