#include "text/random.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <utility>

namespace oz::text {
namespace {

std::uint64_t freshSeed() {
    std::uint64_t seed =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= std::hash<std::thread::id>{}(std::this_thread::get_id()) * 0x9E3779B97F4A7C15ull;
    try {
        std::random_device device;
        seed ^= (static_cast<std::uint64_t>(device()) << 32) | device();
    } catch (...) {
        // No entropy source: the clock and the thread id still differ between threads.
    }
    return seed;
}

// One generator per thread, so concurrent draws need no lock.
std::mt19937_64& engine() {
    thread_local std::mt19937_64 generator{freshSeed()};
    return generator;
}

long long randomBetween(long long low, long long high) {
    return std::uniform_int_distribution<long long>(low, high)(engine());
}

}  // namespace

int randomInt(int lo, int hi) {
    lo = std::max(lo, 0);
    hi = std::max(hi, 0);
    if (lo > hi) std::swap(lo, hi);
    return static_cast<int>(randomBetween(lo, hi));
}

void reseedRandom() { engine().seed(freshSeed()); }

void seedRandom(std::uint64_t seed) { engine().seed(seed); }

void NoRepeatPicker::reset() {
    m_remaining = 0;
    m_moved.clear();
}

int NoRepeatPicker::next(int low, int high) {
    if (low > high) std::swap(low, high);
    if (m_remaining == 0 || low != m_low || high != m_high) {
        reset();
        m_low = low;
        m_high = high;
        m_remaining = static_cast<long long>(high) - low + 1;
    }
    const auto slot = [this](long long index) {
        const auto moved = m_moved.find(index);
        return moved != m_moved.end() ? moved->second : static_cast<int>(m_low + index);
    };
    const long long drawn = randomBetween(0, m_remaining - 1);
    const long long last = m_remaining - 1;
    const int value = slot(drawn);
    if (drawn != last) m_moved[drawn] = slot(last);
    m_moved.erase(last);
    --m_remaining;
    return value;
}

}  // namespace oz::text
