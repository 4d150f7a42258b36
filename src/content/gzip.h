#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace oz::content {

// The largest text the system reads: files, web answers and inflated gzip streams alike.
inline constexpr std::size_t kMaxTextBytes = 64u * 1024u * 1024u;

// True when the bytes start with the gzip signature 1F 8B.
bool isGzip(std::string_view bytes);

// `gunzip`: inflates a gzip stream. A broken or cut-off stream gives what was inflated before the
// fault; std::nullopt when the output would exceed maxOutput (a gzip bomb) or zlib cannot start.
std::optional<std::string> gunzip(std::string_view bytes, std::size_t maxOutput = kMaxTextBytes);

}  // namespace oz::content
