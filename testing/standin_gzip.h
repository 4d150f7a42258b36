#pragma once

// gzip for the stand-in's compressed answers (zlib behind two functions).

#include <optional>
#include <string>
#include <string_view>

namespace oz::testing {

std::string gzipCompress(std::string_view data);
std::optional<std::string> gzipDecompress(std::string_view data);  // nullopt on a damaged stream

}  // namespace oz::testing
