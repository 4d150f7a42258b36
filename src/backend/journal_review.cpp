#include "backend/journal_review.h"

#include "backend/answer_reader.h"
#include "backend/article_submission.h"
#include "backend/records.h"

namespace oz::backend {

JournalReview reviewJournal(AdminSession& session, const BackendContext& context, ArticleTracking& tracking,
                            int siteIndex) {
    JournalReview review;
    if (tracking.journal == nullptr || tracking.ledger == nullptr) return review;
    for (const JournalEntry& entry : tracking.journal->toLookUp(tracking.backEnd)) {
        if (context.aborted()) {
            ++review.unresolved;
            continue;
        }
        const ArticleLookup lookup =
            findNewArticle(session, context, entry.title, entry.typeId, entry.mark, 0, tracking);
        if (lookup.result == LookupResult::Found) {
            ++review.found;
            tracking.ledger->counted(tracking.backEnd, 0, lookup.id);
            tracking.journal->settled(tracking.backEnd, entry.key, JournalOutcome::Published, lookup.id,
                                      lookup.address);
            context.logLine(siteIndex, "上次结果未知的文章已在站点上：" + entry.title);
            recordAddress(context, session.site, siteIndex, lookup.address);
        } else if (lookup.result == LookupResult::NotFound) {
            ++review.notFound;
            tracking.journal->settled(tracking.backEnd, entry.key, JournalOutcome::Cleared);
        } else {
            ++review.unresolved;
            // Held until a look-up can tell, whatever it was counted before.
            if (entry.outcome != JournalOutcome::Unknown)
                tracking.journal->settled(tracking.backEnd, entry.key, JournalOutcome::Unknown);
            context.logLine(siteIndex, "上次结果未知的文章无法查证，本次不发送：" + entry.title +
                                           reasonInParentheses(lookup.reason));
        }
    }
    return review;
}

}  // namespace oz::backend
