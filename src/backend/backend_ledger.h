#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/site_config.h"

// What a run knows of each back end it posts articles to. Site records of one back end (another
// category, another account) share it, so that an article of one record is never taken for the
// article of another.
namespace oz::backend {

// One article sent in the run, from its POST until its id is known or it is known not stored.
struct SentArticle {
    int ticket = 0;
    std::string title;  // as sent
    int typeId = 0;
};

// Thread-safe; one per run. A back end is its scheme, host and admin folder (backEndKey).
class BackEndLedger {
   public:
    // The newest article id known to exist on the back end: a lower bound for any article stored
    // after it was read. std::nullopt until the list was read or an id was seen.
    std::optional<int> mark(const std::string& backEnd) const;
    // An id known to exist: raises the mark.
    void sawId(const std::string& backEnd, int id);

    // The article is about to be sent: it is a claimant of any row that looks like it until it is
    // settled. Returns its ticket.
    int opened(const std::string& backEnd, std::string title, int typeId);
    // Its row is known: the id counts for this article only, and it raises the mark.
    void counted(const std::string& backEnd, int ticket, int id);
    // Nothing was stored for it: it claims no row.
    void dropped(const std::string& backEnd, int ticket);
    // Its id stays unknown (published without an id, or its outcome unknown): it keeps claiming.

    bool isCounted(const std::string& backEnd, int id) const;
    // The articles of the run whose row is not known, other than `ticket`.
    std::vector<SentArticle> otherClaimants(const std::string& backEnd, int ticket) const;

    // The back end's title length setting, once read.
    std::optional<int> titleMaxBytes(const std::string& backEnd) const;
    void setTitleMaxBytes(const std::string& backEnd, int bytes);

    // A static file name for an article of the run: `wanted` when no other article of the run has
    // it and `takenBefore` (earlier runs) says it is free, else `wanted` with the first free number
    // appended ("wzbt2", "wzbt3", ...). An empty name stays empty (the back end names the file).
    std::string claimFileName(const std::string& backEnd, const std::string& wanted,
                              const std::function<bool(const std::string&)>& takenBefore);

    void clear();  // a new run

   private:
    struct BackEnd {
        std::optional<int> mark;
        std::set<int> countedIds;
        std::map<int, SentArticle> claimants;  // by ticket
        std::optional<int> titleMaxBytes;
        std::set<std::string> fileNames;
    };

    mutable std::mutex m_mutex;
    std::map<std::string, BackEnd, std::less<>> m_backEnds;
    int m_nextTicket = 1;
};

// The back end a site record posts to: scheme + "://" + host (lower case) + its path and admin
// folder, without repeated or trailing "/".
std::string backEndKey(const config::SiteConfig& site);

}  // namespace oz::backend
