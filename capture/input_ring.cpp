#include "capture/input_ring.h"

void ringReserve(InputRing& ring, size_t capacity) {
    size_t size = 2;
    while (size < capacity) size *= 2;
    ring.slots = std::make_unique<RingEntry[]>(size);
    ring.mask = size - 1;
    ring.written = 0;
    ring.read = 0;
    ring.dropped = 0;
}

// The release on written publishes the slot to the consumer; the acquire on
// read makes sure the consumer has finished with a slot before it is reused.
bool ringPush(InputRing& ring, const RingEntry& entry) {
    const uint64_t written = ring.written.load(std::memory_order_relaxed);
    if (written - ring.read.load(std::memory_order_acquire) > ring.mask) {
        ring.dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    ring.slots[written & ring.mask] = entry;
    ring.written.store(written + 1, std::memory_order_release);
    return true;
}

bool ringPop(InputRing& ring, RingEntry& entry) {
    const uint64_t read = ring.read.load(std::memory_order_relaxed);
    if (read == ring.written.load(std::memory_order_acquire)) return false;
    entry = ring.slots[read & ring.mask];
    ring.read.store(read + 1, std::memory_order_release);
    return true;
}
