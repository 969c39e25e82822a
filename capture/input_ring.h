// A fixed ring of observed input between a thread that must answer the
// system at once (a low-level hook) and the thread that records what it saw.
// One producer and one consumer; nothing is allocated after the ring is made,
// and neither side ever waits for the other. A full ring takes nothing more:
// the producer counts what it could not hand on, and the consumer is told.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "capture/hook_logic.h"
#include "capture/input_event.h"

struct RingEntry {
    InputEvent event;
    HookVerdict verdict;
};

struct InputRing {
    std::unique_ptr<RingEntry[]> slots;
    size_t mask = 0;                      // capacity − 1; the capacity is a power of two
    std::atomic<uint64_t> written{0};     // entries the producer has put in
    std::atomic<uint64_t> read{0};        // entries the consumer has taken out
    std::atomic<uint64_t> dropped{0};     // entries the producer found no room for
};

// Makes the ring's slots: capacity rounded up to a power of two, at least 2.
void ringReserve(InputRing& ring, size_t capacity);
// Producer only. False, and one more dropped, when the ring is full.
bool ringPush(InputRing& ring, const RingEntry& entry);
// Consumer only. False when the ring is empty.
bool ringPop(InputRing& ring, RingEntry& entry);
