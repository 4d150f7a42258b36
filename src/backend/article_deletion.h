#pragma once

#include <string>
#include <vector>

#include "backend/batch_site_loop.h"

namespace oz::backend {

inline constexpr const char* kDeleteArticlesCaption = "批量删除文章";
inline constexpr int kArticleBatchSize = 100;

struct DeleteArticlesOptions {
    int from = 1;  // 编辑框起始ID, 编辑框终止ID: both included, counted down when from > to
    int to = 500;
    bool refreshLists = false;  // 选择框刷新栏目
};

// deletionQuestion for the range of ids.
std::string deleteArticlesQuestion(const DeleteArticlesOptions& options, BatchScope scope, int sites);

// The archives_do.php body of one batch: its ids joined by the back end's separator
// (percent-encoded: "%60" for "`", "%2C" for ","), aid the range's first id.
std::string articleDeleteBody(int firstId, const std::string& joinedIds);
std::string encodedIdSeparator(char separator);

// Follows the report line of a site whose ids went one per batch.
inline constexpr const char* kOneIdPerBatchText = "（每批 1 篇）";

// `deleteArticles`: per site the login, the article list read down to the range (ids it lacks are
// not sent: counted apart with absentIdsText; all are sent when it cannot be read), then batches
// of at most 100 ids posted to
// archives_do.php, joined by the separator the site's release takes; one id per batch where that
// is not known (articleIdSeparator) or where the family's deletion stops at a missing id. A batch counts as
// deleted only when the back end answers "成功删除指定的文档！" (DedeBIZ: "成功删除指定文档"); the report
// line shows those and the batches sent: 域名 + " 已删除 " + confirmed + " 批（已发送 " + sent + " 批）". The
// report ends with
// "\r\n\r\n(每批 100 篇)".
BatchReport deleteArticles(const std::vector<BatchTarget>& targets, const DeleteArticlesOptions& options,
                           const BatchEnvironment& env);

}  // namespace oz::backend
