#include "backend/run_settings.h"

#include <algorithm>
#include <charconv>

#include "content/text_lines.h"

namespace oz::backend {

double lenientReal(std::string_view text) {
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return 0;
    text.remove_prefix(start);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return result.ec == std::errc() ? value : 0;
}

bool customRefreshChecked(const config::RunOptions& options, CustomRefresh item) {
    switch (item) {
        case CustomRefresh::SystemCache:
            return options.refreshSystemCache;
        case CustomRefresh::XmlMapModule:
            return options.refreshXmlMapModule;
        case CustomRefresh::XmlMap:
            return options.refreshXmlMap;
        case CustomRefresh::TxtMap:
            return options.refreshTxtMap;
        case CustomRefresh::NextArticle:
            return options.refreshNextArticle;
        case CustomRefresh::StaticTags:
            return options.refreshStaticTags;
        case CustomRefresh::SinglePages:
            return options.refreshSinglePages;
        case CustomRefresh::FreeLists:
            return options.refreshFreeLists;
        case CustomRefresh::SiteMapHtml:
            return options.refreshSiteMapHtml;
    }
    return false;
}

OptionsRunSettings::OptionsRunSettings(config::RunOptions options, bool htmlAllCategories)
    : m_options(std::move(options)), m_htmlAllCategories(htmlAllCategories) {}

void OptionsRunSettings::update(const config::RunOptions& options) {
    std::lock_guard lock(m_mutex);
    m_options = options;
}

void OptionsRunSettings::update(const config::RunOptions& options, bool htmlAllCategories) {
    std::lock_guard lock(m_mutex);
    m_options = options;
    m_htmlAllCategories = htmlAllCategories;
}

void OptionsRunSettings::setHtmlAllCategories(bool on) {
    std::lock_guard lock(m_mutex);
    m_htmlAllCategories = on;
}

config::RunOptions OptionsRunSettings::options() const {
    std::lock_guard lock(m_mutex);
    return m_options;
}

bool OptionsRunSettings::synchronousCycle() const {
    std::lock_guard lock(m_mutex);
    return m_options.synchronousCycle;
}

double OptionsRunSettings::cycleIntervalSeconds() const {
    std::lock_guard lock(m_mutex);
    return lenientReal(m_options.cycleInterval);
}

double OptionsRunSettings::settleSeconds() const {
    std::lock_guard lock(m_mutex);
    return std::max(0.0, lenientReal(m_options.settleSeconds));
}

std::string OptionsRunSettings::defaultProxy() const {
    std::lock_guard lock(m_mutex);
    return m_options.defaultProxy;
}

int OptionsRunSettings::simultaneousSites() const {
    std::lock_guard lock(m_mutex);
    return content::lenientInt(m_options.simultaneousSites);
}

bool OptionsRunSettings::useGlobalCount() const {
    std::lock_guard lock(m_mutex);
    return m_options.useGlobalCount;
}

int OptionsRunSettings::globalCount() const {
    std::lock_guard lock(m_mutex);
    return content::lenientInt(m_options.globalCount);
}

bool OptionsRunSettings::shutdownWhenDone() const {
    std::lock_guard lock(m_mutex);
    return m_options.shutdownWhenDone;
}

bool OptionsRunSettings::retryOnFailure() const {
    std::lock_guard lock(m_mutex);
    return m_options.retryOnFailure;
}

bool OptionsRunSettings::republishPublished() const {
    std::lock_guard lock(m_mutex);
    return m_options.republishPublished;
}

bool OptionsRunSettings::publishInReadOrder() const {
    std::lock_guard lock(m_mutex);
    return m_options.publishInReadOrder;
}

bool OptionsRunSettings::htmlAllCategories() const {
    std::lock_guard lock(m_mutex);
    return m_htmlAllCategories;
}

bool OptionsRunSettings::rssAllCategories() const {
    std::lock_guard lock(m_mutex);
    return m_options.rssAllCategories;
}

bool OptionsRunSettings::refreshChildCategories() const {
    std::lock_guard lock(m_mutex);
    return m_options.refreshChildCategories;
}

bool OptionsRunSettings::oneClickUpdate() const {
    std::lock_guard lock(m_mutex);
    return m_options.oneClickUpdate;
}

bool OptionsRunSettings::liveCheck() const {
    std::lock_guard lock(m_mutex);
    return m_options.liveCheck;
}

int OptionsRunSettings::accessMethod() const {
    std::lock_guard lock(m_mutex);
    return m_options.accessMethod;
}

bool OptionsRunSettings::customRefresh(CustomRefresh item) const {
    std::lock_guard lock(m_mutex);
    return customRefreshChecked(m_options, item);
}

}  // namespace oz::backend
