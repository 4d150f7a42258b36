#pragma once

#include <string_view>

// The texts the publishing engine writes to the run's log, gathered in one place.
namespace oz::engine::texts {

// The run as a whole (site index 0).
inline constexpr std::string_view kRunStarted = "站群更新开始，当前时间点是：";
inline constexpr std::string_view kPreparing =
    "正在进行更新前的准备工作(如登录站点、读取待更新文章列表等等)...";
inline constexpr std::string_view kPrepared = "更新前的准备工作已就绪";
inline constexpr std::string_view kForcedStop = "已强制全部停止更新";
// The message of a finished run: kCompletionPrefix + total + kCompletionMiddle + duration.
inline constexpr std::string_view kCompletionPrefix = "更新完成！总更新了 ";
inline constexpr std::string_view kCompletionMiddle = " 篇文章，更新耗费 ";
// Added to the message when submissions were cut off: kCompletionUnknown + count + kCompletionUnknownEnd.
inline constexpr std::string_view kCompletionUnknown = "（另有 ";
inline constexpr std::string_view kCompletionUnknownEnd = " 篇结果未知，下次更新时先在网站后台查找）";
// Added when the live check failed: kCompletionLiveFailed + articles + kCompletionLiveFailedEnd (or
// kCompletionLiveHomeFailed when the home page failed too).
inline constexpr std::string_view kCompletionLiveFailed = "（前台检查未通过 ";
inline constexpr std::string_view kCompletionLiveFailedEnd = " 篇，见日志中的“前台检查未通过”行）";
inline constexpr std::string_view kCompletionLiveHomeFailed =
    " 篇，主页也未通过，见日志中的“前台检查未通过”行）";
// Added when files of the run could not be written, each on a line of its own after it.
inline constexpr std::string_view kCompletionUnwritten =
    "\r\n\r\n以下文件未能写入（磁盘空间或写入权限不足？）：";
// After the first ten of them: kCompletionUnwrittenMore + the rest's count + kCompletionUnwrittenMoreEnd.
inline constexpr std::string_view kCompletionUnwrittenMore = "\r\n……另有 ";
inline constexpr std::string_view kCompletionUnwrittenMoreEnd = " 个文件未能写入，全部列在日志末尾";
// A stop: what the run still waits for. kStopWaiting + busy sites + kStopWaitingMiddle + the grace
// + kStopWaitingEnd.
inline constexpr std::string_view kStopWaiting = "正在停止更新：不再开始新的文章，等待 ";
inline constexpr std::string_view kStopWaitingMiddle = " 个站点进行中的请求（每个请求最多再等 ";
inline constexpr std::string_view kStopWaitingEnd = "），各站点刷新HTML后结束";
inline constexpr std::string_view kAborted = "已立即中止所有进行中的请求";

// One site.
inline constexpr std::string_view kConfigIncomplete =
    "站点配置信息不足，请检查域名、用户名、密码是否正确！将被忽略更新！";
inline constexpr std::string_view kLoginStarting = "开始登录";
inline constexpr std::string_view kLoginRetrying = "登录失败，正在重试..";
inline constexpr std::string_view kLoginGivenUp = "经过多次重试依然登录失败！将被忽略更新！";
inline constexpr std::string_view kLoginRefused = "登录失败";
inline constexpr std::string_view kLoginRefusedGivenUp = "后台拒绝了用户名或密码，不再重试！将被忽略更新！";
inline constexpr std::string_view kLoginSucceeded = "登录成功！";
inline constexpr std::string_view kTailBlocksRead = "尾部插入，读取文章块 ";
inline constexpr std::string_view kListRead = "读取文章列表成功，总共 ";
inline constexpr std::string_view kListReadCount = " 篇文章！当前本站点更新";
inline constexpr std::string_view kListReadAll = "读取到的所有文章";
inline constexpr std::string_view kNoArticlesFilter =
    "读不到文章，请检查文章目录或文件过滤是否正确！当前的文件过滤为“";
inline constexpr std::string_view kNoArticlesFolder = "”，文章目录为“";
inline constexpr std::string_view kNoArticlesEnd = "”";
// The folder is there and holds no file that passes the filter: nothing to publish, nothing wrong.
inline constexpr std::string_view kEmptyFolder = "文章目录“";
inline constexpr std::string_view kEmptyFolderFilter = "”中没有符合文件过滤“";
inline constexpr std::string_view kEmptyFolderEnd = "”的文章，本站点这次没有要更新的文章";
inline constexpr std::string_view kArticleMissing = "文章不存在：";
// The article folder (or a folder on the way) lost its read rights: kArticleFolderUnreadable + path.
inline constexpr std::string_view kArticleFolderUnreadable = "文章目录无法读取：";
// A file of the article folder whose real path leads elsewhere: start + path + " → " + real path + end.
inline constexpr std::string_view kArticleOutsideStart = "拒绝读取：";
inline constexpr std::string_view kArticleOutsideEnd = "（链接指向文章目录之外，不作为文章发布）";
inline constexpr std::string_view kArticleInDataEnd = "（指向程序的数据目录，不作为文章发布）";
inline constexpr std::string_view kArticleTooLarge = "文章文件过大（超过 64 MB），已跳过：";
inline constexpr std::string_view kArticleBinary = "文章文件不是文本（含二进制内容），已跳过：";
inline constexpr std::string_view kPublished = "已成功更新 ";
inline constexpr std::string_view kPublishedCategory = " 篇文章[栏目:";
// After the category: kPublishedTitle + title + " " + address.
inline constexpr std::string_view kPublishedTitle = "：";
// Ends the line of an article found on the site after an answer that said nothing trustworthy:
// kConfirmedStart + what the answer was + kConfirmedEnd.
inline constexpr std::string_view kConfirmedStart = "（回答异常：";
inline constexpr std::string_view kConfirmedEnd = "；已在网站后台确认发布）";
inline constexpr std::string_view kRegenerating = "正在刷新栏目和主页HTML...";
inline constexpr std::string_view kPublishFailed = "更新失败：";
inline constexpr std::string_view kProxyEndsSite = "代理服务器不能使用，本站停止发布";
// Local pictures: kPicturesUploaded + count + kPicturesReused + count + kPicturesEnd, and after a
// picture's failure line, kPictureFailedArticle + title.
inline constexpr std::string_view kPicturesUploaded = "已上传本地图片 ";
inline constexpr std::string_view kPicturesReused = " 张，沿用本次已上传的 ";
inline constexpr std::string_view kPicturesEnd = " 张";
inline constexpr std::string_view kPictureFailedArticle = "，文章未发布：";
// 更新后删除 met a file it could not delete: kUndeletedStart + why + kUndeletedEnd + path.
inline constexpr std::string_view kUndeletedStart = "文章已发布，但文件未能删除（";
inline constexpr std::string_view kUndeletedEnd = "），以后的更新不再发布它：";
// Files published in an earlier run that could not be deleted: kUndeletedSkipped + count + ...End.
inline constexpr std::string_view kUndeletedSkipped = "跳过已发布但未能删除的文章 ";
inline constexpr std::string_view kUndeletedSkippedEnd = " 篇";
// A file the journal says the back end holds: kPublishedSkipped + the file; the summary's row:
// kPublishedSkippedCount + count + kArticlesUnit.
inline constexpr std::string_view kPublishedSkipped = "已发布到此网站，跳过：";
inline constexpr std::string_view kPublishedSkippedCount = "跳过已发布 ";
// A static file name another article has: kFileNameTakenStart + name + kFileNameTakenMiddle + the new
// name + "：" + title.
inline constexpr std::string_view kFileNameTakenStart = "静态文件名“";
inline constexpr std::string_view kFileNameTakenMiddle = "”已有文章使用，改为：";
// A file whose last submission's outcome the site could not tell: kUnsettledHeld + the file.
inline constexpr std::string_view kUnsettledHeld = "上次结果未知且无法查证，本次不发送：";
// A send after the first: kSendingAgainStart + its number + kSendingAgainMiddle + title +
// kPreviousReasonStart + why the send before failed + kPreviousReasonEnd.
inline constexpr std::string_view kSendingAgainStart = "第 ";
inline constexpr std::string_view kSendingAgainMiddle = " 次发送：";
inline constexpr std::string_view kPreviousReasonStart = "（上次：";
inline constexpr std::string_view kPreviousReasonEnd = "）";
// An article whose answer said nothing trustworthy and that its site does not show yet; it is
// looked for again while the site goes on: kPendingStart + what the answer was + kPendingEnd + title.
inline constexpr std::string_view kPendingStart = "结果待确认（";
inline constexpr std::string_view kPendingEnd = "；稍后在网站后台查找）：";
// A submission that may or may not have stored its article; the file stays:
// kOutcomeUnknownStart + why + kOutcomeUnknownEnd + title ("结果未知（请求已中止）：标题").
inline constexpr std::string_view kOutcomeUnknownStart = "结果未知（";
inline constexpr std::string_view kOutcomeUnknownEnd = "）：";
// What a busy site waits for when the run is stopped.
inline constexpr std::string_view kWaitingForLogin = "正在停止：等待登录请求的回答";
inline constexpr std::string_view kWaitingForSubmission = "正在停止：等待文章提交的回答";
inline constexpr std::string_view kWaitingForRegeneration = "正在停止：等待刷新HTML结束";
// The grace after a stop ran out while the site's request was still going (+ the grace).
inline constexpr std::string_view kGraceOver = "停止后的等待已满 ";
inline constexpr std::string_view kGraceOverEnd = "，中止本站点进行中的请求";
inline constexpr std::string_view kSiteStopped = "已停止更新，本次成功更新 ";
inline constexpr std::string_view kArticlesUnit = " 篇";
// A site whose requests were cut off after a stop (its server did not answer in time): the
// end-of-site regeneration would only hang as well.
inline constexpr std::string_view kRegenerationSkipped = "站点请求已中止，跳过刷新HTML";
inline constexpr std::string_view kRegenerationCut = "站点请求已中止，刷新HTML未完成";
// A site ended by an error the worker did not expect; the other sites go on.
inline constexpr std::string_view kUnexpectedError = "站点处理出现意外错误，停止更新本站点：";

}  // namespace oz::engine::texts
