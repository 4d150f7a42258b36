#include "config/site_line.h"

#include <algorithm>

#include "config/number_text.h"

namespace oz::config {

namespace {

constexpr std::string_view kTrue = "真";

int intField(const std::string& text) { return toInt(parseNumber(text)); }

}  // namespace

const char* const kSiteLineHelp =
    "一行一个站点配置，每个站点配置的不同参数以‘|’隔开\r\n"
    "格式：域名|用户|密码|编码|目录|文章目录|文件编码|文件过滤|更新数量|删除已更新文章|每篇间隔秒1|"
    "每篇间隔秒2|"
    "文章首行当标题|加网页段落标签|使用HTTPS发布\r\n"
    "www.example.com|admin|kelpo|0|dede|/home/me/文章/example|0|*.txt|0|真|0.1|0.3|假|假|假\r\n"
    "（留空的参数将默认使用主界面的当前设定值；复选框的值，打勾为‘真’，不打勾为‘假’；弹出框的值，从 0 "
    "开始按顺序；导入期间请不要操作主界面）";

SiteLineFields splitSiteLine(std::string_view line) {
    SiteLineFields fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::size_t bar = line.find('|', start);
        fields[i] = std::string(line.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return fields;
}

SiteConfig siteFromLine(const SiteLineFields& f, const SiteConfig& window) {
    SiteConfig site = window;
    site.enabled = true;
    site.domain = f[0];
    site.user = f[1];
    site.password = f[2];
    site.charset = intField(f[3]);
    site.adminDir = f[4];
    normalizeSite(site);
    if (!f[5].empty()) site.articleDir = f[5];
    if (!f[6].empty()) site.fileEncoding = intField(f[6]);
    if (!f[7].empty()) site.fileFilter = f[7];
    if (!f[8].empty()) site.articleCount = intField(f[8]);
    if (!f[9].empty()) site.deleteAfterPublish = f[9] == kTrue;
    if (!f[10].empty()) site.intervalMin = toFloat(parseNumber(f[10]));
    if (!f[11].empty()) site.intervalMax = toFloat(parseNumber(f[11]));
    if (!f[12].empty()) site.firstLineTitle = f[12] == kTrue;
    if (!f[13].empty()) site.paragraphTags = f[13] == kTrue;
    if (!f[14].empty()) site.https = f[14] == kTrue;
    return site;
}

std::string maskedSiteLine(std::string_view line) {
    const std::size_t first = line.find('|');
    const std::size_t second = first == std::string_view::npos ? first : line.find('|', first + 1);
    if (second == std::string_view::npos) return std::string(line);
    const std::size_t end = std::min(line.find('|', second + 1), line.size());
    if (end == second + 1) return std::string(line);
    return std::string(line.substr(0, second + 1)) + "******" + std::string(line.substr(end));
}

std::string siteProblem(const SiteConfig& site) {
    if (site.domain.empty()) return "域名不能为空！";
    if (site.user.empty()) return "用户不能为空！";
    if (site.password.empty()) return "密码不能为空！";
    // A combo box has no item for other numbers; such a record could not be shown or used.
    if (site.charset < 0 || site.charset > 1) return "编码只能是 0（UTF-8）或 1（GBK）！";
    if (site.fileEncoding < 0 || site.fileEncoding > 4) return "文件编码只能是 0 到 4！";
    return {};
}

}  // namespace oz::config
