#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "backend/article_submission.h"
#include "content/article_draft.h"

namespace oz::engine {

// A site's articles whose answer said nothing trustworthy and that the site did not show at once.
// A back end behind a gateway stores such an article when PHP is done, seconds or minutes after
// the gateway gave up, so each is looked for again on a schedule until its settling time is over;
// meanwhile the site's other articles go on. Times are the run clock's milliseconds.
class SettleQueue {
   public:
    struct Parked {
        content::ArticleDraft draft;  // as it was sent
        std::string path;             // its file
        backend::PendingArticle pending;
        std::int64_t answeredAtMs = 0;
        std::int64_t deadlineMs = 0;  // its settling time is over
        std::int64_t nextCheckMs = 0;
        int checks = 0;     // look-ups after the first
        bool last = false;  // set by takeDue: its settling time is over
    };

    // The waits after the answer at which a parked article is looked for again; after the last one
    // it is looked for every kRepeatMs, and once more when its settling time is over.
    static constexpr std::int64_t kCheckAfterMs[] = {5'000, 15'000, 30'000, 60'000};
    static constexpr std::int64_t kRepeatMs = 60'000;

    // Parks an article answered at `nowMs`, to be settled within `settleMs`.
    void park(Parked parked, std::int64_t nowMs, std::int64_t settleMs);
    // Takes out the articles whose check is due at `nowMs`, oldest first; `last` is set on those
    // whose settling time is over.
    std::vector<Parked> takeDue(std::int64_t nowMs);
    // Puts back an article whose check at `nowMs` did not settle it, with its next check (not
    // sooner than kCheckAfterMs[0] from now, unless its settling time is over by then).
    void putBack(Parked parked, std::int64_t nowMs);
    // Takes out every article (the site stops).
    std::vector<Parked> takeAll();

    bool empty() const { return m_parked.empty(); }
    int size() const { return static_cast<int>(m_parked.size()); }
    // When the next check is due; only when not empty.
    std::int64_t nextCheckAt() const;

   private:
    static void scheduleNextCheck(Parked& parked, std::int64_t nowMs);

    std::vector<Parked> m_parked;
};

}  // namespace oz::engine
