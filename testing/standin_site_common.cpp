#include "testing/standin_site_common.h"

#include <ctime>

namespace oz::testing {

namespace {

std::string twoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

}  // namespace

std::string trimSlashes(std::string text) {
    while (!text.empty() && text.front() == '/') text.erase(text.begin());
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

std::string dateFolder() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900) + "/" + twoDigits(local.tm_mon + 1) +
           twoDigits(local.tm_mday);
}

std::string todayText() {
    const std::string folder = dateFolder();
    return folder.substr(0, 4) + "-" + folder.substr(5, 2) + "-" + folder.substr(7, 2);
}

}  // namespace oz::testing
