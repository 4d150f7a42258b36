#include <string>

#include "backend/admin_session.h"
#include "backend/live_check.h"
#include "backend/picture_upload.h"
#include "backend/regeneration.h"
#include "engine/engine_texts.h"
#include "engine/site_worker.h"

// The site's worker, on the pages a visitor sees: the article's pictures go up before it is posted,
// the touched pages are made at the site's end, and then looked at as a visitor gets them.
namespace oz::engine {

bool SiteWorker::sendPictures(content::ArticleDraft& draft) {
    backend::AdminSession session{m_site, *m_requester};
    const backend::PictureUploads pictures =
        backend::uploadPictures(session, m_context, draft, &m_run.pictures);
    if (!pictures.ok) {
        log(pictures.failure + std::string(texts::kPictureFailedArticle) + draft.title);
        return false;
    }
    m_state.currentPictures = pictures.addresses;
    if (pictures.uploaded + pictures.reused > 0) {
        log(std::string(texts::kPicturesUploaded) + std::to_string(pictures.uploaded) +
            std::string(texts::kPicturesReused) + std::to_string(pictures.reused) +
            std::string(texts::kPicturesEnd));
    }
    return true;
}

void SiteWorker::regenerateAtEnd() {
    // 刷新HTML类型 2 made the first list pages after each article; the whole lists of the categories
    // it published into are made once, here, as 刷新HTML类型 1 makes them.
    const bool refresh = (m_site.refreshHtmlMode == 1 || m_site.refreshHtmlMode == 2) &&
                         m_state.articleCount > 0 && m_state.updatedCount > 0;
    const bool oneKey = m_run.settings.oneClickUpdate() && m_state.articleCount > 0;
    if (!refresh && !oneKey) return;
    if (transfersAborted() || !m_requester) {
        log(texts::kRegenerationSkipped);
        return;
    }
    backend::AdminSession session{m_site, *m_requester};
    if (refresh) {
        log(texts::kRegenerating);
        m_state.made = backend::regenerateSite(session, m_context, m_state.refreshCategories, m_index, false);
    }
    if (oneKey && !transfersAborted()) backend::oneKeyUpdate(session, m_context, m_index);
    if (transfersAborted()) log(texts::kRegenerationCut);
}

void SiteWorker::checkLive() {
    if (m_state.published.empty() || !m_run.settings.liveCheck() || transfersAborted() || !m_requester)
        return;
    backend::AdminSession session{m_site, *m_requester};
    m_state.live =
        backend::checkLive(session, m_context, m_state.published, m_state.made, m_index, &m_state.tracking);
}

}  // namespace oz::engine
