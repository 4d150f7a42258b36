#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// The settings text's index of a section's lines by key, kept beside the text it indexes.
namespace oz::config::ini_slots {

// FNV-1a, enough to spread the few dozen keys of a section.
inline std::size_t keyHash(std::string_view key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : key) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return static_cast<std::size_t>(hash ^ (hash >> 32));
}

// Open addressing over lines by their keys: a slot holds 1 + the line's index, 0 when free. A line
// placed later takes the slot of an earlier one with the same key.
inline void sizeSlots(std::vector<std::uint32_t>& slots, std::size_t lines) {
    std::size_t size = 128;  // a site's section without growing
    while (size < 2 * lines + 2) size *= 2;
    slots.assign(size, 0);
}

template <typename KeyOf>
void placeSlot(std::vector<std::uint32_t>& slots, std::uint32_t index, KeyOf keyOf) {
    const std::size_t mask = slots.size() - 1;
    const std::string_view key = keyOf(index);
    for (std::size_t slot = keyHash(key) & mask;; slot = (slot + 1) & mask) {
        if (slots[slot] == 0 || keyOf(slots[slot] - 1) == key) {
            slots[slot] = index + 1;
            return;
        }
    }
}

template <typename KeyOf>
std::optional<std::uint32_t> findSlot(const std::vector<std::uint32_t>& slots, std::string_view key,
                                      KeyOf keyOf) {
    if (slots.empty()) return std::nullopt;
    const std::size_t mask = slots.size() - 1;
    for (std::size_t slot = keyHash(key) & mask; slots[slot] != 0; slot = (slot + 1) & mask) {
        if (keyOf(slots[slot] - 1) == key) return slots[slot] - 1;
    }
    return std::nullopt;
}

// After `count` lines, whether the slots must grow before one more is placed.
inline bool slotsFull(const std::vector<std::uint32_t>& slots, std::size_t count) {
    return 2 * (count + 1) + 2 > slots.size();
}

}  // namespace oz::config::ini_slots
