#include "tools/traditional_converter.h"

#include <opencc/opencc.h>

namespace oz::tools {

namespace {

const opencc_t kInvalid = reinterpret_cast<opencc_t>(-1);

}  // namespace

struct TraditionalConverter::Handle {
    opencc_t converter = kInvalid;
    ~Handle() {
        if (converter != kInvalid) opencc_close(converter);
    }
};

TraditionalConverter::TraditionalConverter() : m_handle(std::make_unique<Handle>()) {
    m_handle->converter = opencc_open(OPENCC_DEFAULT_CONFIG_SIMP_TO_TRAD);
    if (m_handle->converter == kInvalid) {
        const char* reason = opencc_error();
        m_error = std::string("繁体转换不可用（OpenCC s2t）：") + (reason ? reason : "无法载入");
    }
}

TraditionalConverter::~TraditionalConverter() = default;

bool TraditionalConverter::isReady() const { return m_handle->converter != kInvalid; }

std::string TraditionalConverter::convert(std::string_view simplified) const {
    if (!isReady() || simplified.empty()) return std::string(simplified);
    char* converted = opencc_convert_utf8(m_handle->converter, simplified.data(), simplified.size());
    if (!converted) return std::string(simplified);
    std::string result(converted);
    opencc_convert_utf8_free(converted);
    return result;
}

}  // namespace oz::tools
