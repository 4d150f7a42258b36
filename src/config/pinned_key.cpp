#include "config/pinned_key.h"

#include <algorithm>
#include <cctype>

#include "config/site_config.h"
#include "text/characters.h"

namespace oz::config {

std::string pinProblem(std::string_view pin) {
    const std::string normalized = normalizePin(pin);
    if (normalized.empty()) return {};
    if (text::findNoCase(normalized, "sha256//") == std::string::npos) {
        // Not a key: a file holding one, named by its path.
        if (normalized.find('/') == std::string::npos && normalized.find('.') == std::string::npos)
            return "既不是公钥指纹（sha256//…）也不像公钥文件的路径";
        return {};
    }
    std::size_t start = 0;
    while (start <= normalized.size()) {
        const std::size_t end = std::min(normalized.find(';', start), normalized.size());
        const std::string_view part = std::string_view(normalized).substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        const bool key = part.size() == 52 && text::equalsNoCase(part.substr(0, 8), "sha256//") &&
                         part.back() == '=' && std::all_of(part.begin() + 8, part.end() - 1, [](char c) {
                             return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/';
                         });
        if (!key)
            return "公钥指纹应为 sha256// 加 44 个 base64 字符（以“=”结尾），多个用“;”隔开：" +
                   std::string(part);
    }
    return {};
}

}  // namespace oz::config
