#include "config/number_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace oz::config {

namespace {

template <typename T>
std::string format(T value) {
    if (!std::isfinite(value) || value == 0) return "0";
    if (value == std::trunc(value) && std::fabs(value) < 1e18) {
        return std::to_string(static_cast<long long>(value));
    }
    char buffer[512];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed);
    if (result.ec != std::errc()) return "0";
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string formatNumber(double value) { return format(value); }

std::string formatNumber(float value) { return format(value); }

double parseNumber(std::string_view text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string_view::npos) return 0;
    text.remove_prefix(i);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // Only plain decimals: no "inf", "nan" or a second sign.
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) return 0;
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc()) return 0;  // also for values beyond the double range
    return negative ? -value : value;
}

int toInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

float toFloat(double value) {
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (std::isnan(value)) return 0;
    return static_cast<float>(std::clamp(value, -kLargest, kLargest));
}

}  // namespace oz::config
