#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "backend/journal_review.h"
#include "content/article_source.h"
#include "content/load_text.h"
#include "content/text_lines.h"
#include "engine/engine_texts.h"
#include "engine/site_worker.h"

namespace oz::engine {

void SiteWorker::reviewJournal(backend::AdminSession& session) {
    m_state.tracking.record = m_site.domain + "(" + m_site.user + ")" + m_context.recordTag;
    backend::reviewJournal(session, m_context, m_state.tracking, m_index);
}

void SiteWorker::leaveOutSentFiles(std::vector<std::string>& files) {
    backend::SendJournal& journal = m_run.journal;
    const std::string& backEnd = m_state.tracking.backEnd;
    const bool republish = m_run.settings.republishPublished();
    const auto published =
        republish ? std::map<std::string, std::set<std::string>>() : journal.publishedFiles(backEnd);
    const std::set<std::string> unsettled = journal.unsettledPaths(backEnd);
    const auto leftOut = std::remove_if(files.begin(), files.end(), [&](const std::string& file) {
        if (unsettled.contains(file)) {
            log(std::string(texts::kUnsettledHeld) + content::displayText(file));
            return true;
        }
        // The bytes decide: a file written anew under an old name is a new article.
        const auto hashes = published.find(file);
        if (hashes == published.end() ||
            !hashes->second.contains(backend::fileContentHash(content::toLocalPath(file)))) {
            return false;
        }
        ++m_state.skippedPublished;
        log(std::string(texts::kPublishedSkipped) + content::displayText(file));
        // Published (maybe by a run whose outcome was unknown): 更新后删除 deletes it as it would have.
        std::error_code error;
        if (m_site.deleteAfterPublish)
            m_run.removeFile(std::filesystem::path(content::toLocalPath(file)), error);
        return true;
    });
    files.erase(leftOut, files.end());
}

void SiteWorker::uniqueFileName(content::ArticleDraft& draft) {
    if (draft.filename.empty()) return;
    const std::string& backEnd = m_state.tracking.backEnd;
    const std::string wanted = draft.filename;
    draft.filename = m_run.ledger.claimFileName(backEnd, wanted, [this, &backEnd](const std::string& name) {
        return m_run.journal.fileNameTaken(backEnd, name);
    });
    if (draft.filename != wanted) {
        log(std::string(texts::kFileNameTakenStart) + wanted + std::string(texts::kFileNameTakenMiddle) +
            draft.filename + "：" + draft.title);
    }
}

}  // namespace oz::engine
