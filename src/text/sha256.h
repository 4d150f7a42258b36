#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace oz::text {

// SHA-256 of `bytes`, fed in pieces: for keeping a fingerprint of a value (a back end's secret, an
// article file) instead of the value.
class Sha256 {
   public:
    Sha256();
    void add(std::string_view bytes);
    std::array<std::uint8_t, 32> finish();

   private:
    void block(const std::uint8_t* data);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0;
};

// A digest in lower-case hex (64 characters).
std::string hexDigest(const std::array<std::uint8_t, 32>& digest);

// The digest of `bytes` in lower-case hex.
std::string sha256Hex(std::string_view bytes);

}  // namespace oz::text
