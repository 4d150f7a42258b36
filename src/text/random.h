#pragma once

#include <cstdint>
#include <unordered_map>

namespace oz::text {

// Uniform in the inclusive range; a negative bound counts as 0 and reversed bounds are swapped.
// Safe to call from any number of threads at once: each thread has its own generator, seeded
// from std::random_device and the clock.
int randomInt(int lo, int hi);
// Reseeds the calling thread's generator from the clock and std::random_device.
void reseedRandom();
// Reseeds the calling thread's generator with a fixed seed (repeatable draws in tests).
void seedRandom(std::uint64_t seed);

// Draws the integers of low..high in random order without repetition; after the last one a new
// order begins. Memory grows with the draws, not with the range. One picker belongs to one
// thread (one per list of a site worker).
class NoRepeatPicker {
   public:
    // Empties the pool: the next draw starts a new order.
    void reset();
    // The next integer of the current order. A call with other bounds than the pool was filled
    // with starts a new order over the new bounds; reversed bounds are swapped.
    int next(int low, int high);
    // How many integers remain in the current order.
    long long remaining() const { return m_remaining; }

   private:
    int m_low = 0;
    int m_high = -1;
    long long m_remaining = 0;
    // Sparse Fisher-Yates: slot i holds m_low + i unless moved.
    std::unordered_map<long long, int> m_moved;
};

}  // namespace oz::text
