#pragma once

#include <string>
#include <string_view>

namespace oz::config {

// What is wrong with the form of 证书公钥 as typed (in Chinese, for the window); empty when it is
// empty, a list of "sha256//" keys of 44 base64 characters each (normalizePin's rules), or what
// looks like a file's path.
std::string pinProblem(std::string_view pin);

}  // namespace oz::config
