#include "backend/backend_ledger.h"

#include <algorithm>

#include "backend/admin_session.h"
#include "text/characters.h"

namespace oz::backend {

std::optional<int> BackEndLedger::mark(const std::string& backEnd) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_backEnds.find(backEnd);
    return found == m_backEnds.end() ? std::nullopt : found->second.mark;
}

void BackEndLedger::sawId(const std::string& backEnd, int id) {
    std::lock_guard lock(m_mutex);
    std::optional<int>& mark = m_backEnds[backEnd].mark;
    mark = std::max(mark.value_or(0), id);
}

int BackEndLedger::opened(const std::string& backEnd, std::string title, int typeId) {
    std::lock_guard lock(m_mutex);
    const int ticket = m_nextTicket++;
    m_backEnds[backEnd].claimants[ticket] = SentArticle{ticket, std::move(title), typeId};
    return ticket;
}

void BackEndLedger::counted(const std::string& backEnd, int ticket, int id) {
    std::lock_guard lock(m_mutex);
    BackEnd& entry = m_backEnds[backEnd];
    entry.claimants.erase(ticket);
    entry.countedIds.insert(id);
    entry.mark = std::max(entry.mark.value_or(0), id);
}

void BackEndLedger::dropped(const std::string& backEnd, int ticket) {
    std::lock_guard lock(m_mutex);
    m_backEnds[backEnd].claimants.erase(ticket);
}

bool BackEndLedger::isCounted(const std::string& backEnd, int id) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_backEnds.find(backEnd);
    return found != m_backEnds.end() && found->second.countedIds.contains(id);
}

std::vector<SentArticle> BackEndLedger::otherClaimants(const std::string& backEnd, int ticket) const {
    std::lock_guard lock(m_mutex);
    std::vector<SentArticle> others;
    const auto found = m_backEnds.find(backEnd);
    if (found == m_backEnds.end()) return others;
    for (const auto& [key, article] : found->second.claimants) {
        if (key != ticket) others.push_back(article);
    }
    return others;
}

std::optional<int> BackEndLedger::titleMaxBytes(const std::string& backEnd) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_backEnds.find(backEnd);
    return found == m_backEnds.end() ? std::nullopt : found->second.titleMaxBytes;
}

void BackEndLedger::setTitleMaxBytes(const std::string& backEnd, int bytes) {
    std::lock_guard lock(m_mutex);
    m_backEnds[backEnd].titleMaxBytes = bytes;
}

std::string BackEndLedger::claimFileName(const std::string& backEnd, const std::string& wanted,
                                         const std::function<bool(const std::string&)>& takenBefore) {
    if (wanted.empty()) return wanted;
    std::lock_guard lock(m_mutex);
    std::set<std::string>& names = m_backEnds[backEnd].fileNames;
    std::string name = wanted;
    for (int n = 2; names.contains(name) || (takenBefore && takenBefore(name)); ++n)
        name = wanted + std::to_string(n);
    names.insert(name);
    return name;
}

void BackEndLedger::clear() {
    std::lock_guard lock(m_mutex);
    m_backEnds.clear();
}

std::string backEndKey(const config::SiteConfig& site) {
    const std::string host = siteHost(site);
    std::string rest = site.domain;
    const std::size_t scheme = rest.find("//");
    if (scheme != std::string::npos) rest.erase(0, scheme + 2);
    const std::size_t slash = rest.find('/');
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
    std::string key = siteScheme(site) + "://" + text::toLowerAscii(host);
    for (const std::string& part : {rest, "/" + site.adminDir}) {
        for (const char c : part) {
            if (c == '/' && !key.empty() && key.back() == '/') continue;
            key.push_back(c);
        }
        if (!key.empty() && key.back() == '/') key.pop_back();
    }
    return key;
}

}  // namespace oz::backend
