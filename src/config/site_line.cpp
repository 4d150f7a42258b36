#include "config/site_line.h"

#include <algorithm>
#include <utility>

#include "config/number_text.h"
#include "config/proxy_setting.h"
#include "config/site_list_store.h"

namespace oz::config {

namespace {

constexpr std::string_view kTrue = "真";

int intField(const std::string& text) { return toInt(parseNumber(text)); }

}  // namespace

const char* const kSiteLineHelp =
    "一行一个站点配置，每个站点配置的不同参数以‘|’隔开\r\n"
    "格式：域名|用户|密码|编码|目录|文章目录|文件编码|文件过滤|更新数量|删除已更新文章|每篇间隔秒1|"
    "每篇间隔秒2|"
    "文章首行当标题|加网页段落标签|使用HTTPS发布|代理服务器|设置项=值|…\r\n"
    "www.example.com|admin|kelpo|0|dede|/home/me/文章/example|0|*.txt|0|真|0.1|0.3|假|假|假|"
    "socks5://127.0.0.1:1080|关键词数据=新闻\r\n"
    "（留空的参数将默认使用主界面的当前设定值；复选框的值，打勾为‘真’，不打勾为‘假’；弹出框的值，从 0 "
    "开始按顺序；代理服务器留空则用“默认代理服务器”，写 \"\" 为直接连接；第 16 个参数之后可以用"
    "“设置项=值”设定站点的任何一项；导入期间请不要操作主界面）\r\n";

const char* const kSiteLineQuoting =
    "含有‘|’的参数用英文双引号括起来，引号内的一个双引号写成两个：\"*.txt|*.htm\"、\"a\"\"b|c\"；"
    "括起来的空参数 \"\" 表示空值，而不是留给默认值。";

namespace {

// The end of a quoted field that starts at `start` (its closing quote), or npos when it is not one.
std::size_t closingQuote(std::string_view line, std::size_t start) {
    if (start >= line.size() || line[start] != '"') return std::string_view::npos;
    for (std::size_t i = start + 1; i < line.size(); ++i) {
        if (line[i] != '"') continue;
        if (i + 1 < line.size() && line[i + 1] == '"') {
            ++i;
            continue;
        }
        if (i + 1 == line.size() || line[i + 1] == '|') return i;
    }
    return std::string_view::npos;
}

std::string unquoted(std::string_view inner) {
    std::string out;
    for (std::size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
    return out;
}

}  // namespace

SiteLineFields splitSiteLine(std::string_view line) {
    SiteLineFields fields;
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        std::string value;
        bool quoted = false;
        std::size_t bar = 0;
        if (const std::size_t close = closingQuote(line, start); close != std::string_view::npos) {
            value = unquoted(line.substr(start + 1, close - start - 1));
            quoted = true;
            bar = close + 1 < line.size() ? close + 1 : std::string_view::npos;
        } else {
            bar = line.find('|', start);
            value = std::string(line.substr(start, bar == std::string_view::npos ? bar : bar - start));
        }
        if (i < fields.size()) {
            fields[i] = std::move(value);
            fields.quoted[i] = quoted;
        } else if (!value.empty()) {
            fields.keyed.push_back(std::move(value));
        }
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return fields;
}

std::string siteLineField(std::string_view value) {
    // A leading quote is quoted too: what follows it in the line could close it.
    if (!value.empty() && value.find('|') == std::string_view::npos && !value.starts_with('"')) {
        return std::string(value);
    }
    std::string out = "\"";
    for (char c : value) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

SiteConfig siteFromLine(const SiteLineFields& f, const SiteConfig& window, std::string* problem) {
    SiteConfig site = window;
    site.enabled = true;
    site.domain = f[0];
    site.user = f[1];
    site.password = f[2];
    site.charset = intField(f[3]);
    site.adminDir = f[4];
    auto given = [&f](std::size_t i) { return !f[i].empty() || f.quoted[i]; };
    if (given(5)) site.articleDir = f[5];
    if (given(6)) site.fileEncoding = intField(f[6]);
    if (given(7)) site.fileFilter = f[7];
    if (given(8)) site.articleCount = intField(f[8]);
    if (given(9)) site.deleteAfterPublish = f[9] == kTrue;
    if (given(10)) site.intervalMin = toFloat(parseNumber(f[10]));
    if (given(11)) site.intervalMax = toFloat(parseNumber(f[11]));
    if (given(12)) site.firstLineTitle = f[12] == kTrue;
    if (given(13)) site.paragraphTags = f[13] == kTrue;
    if (given(14)) site.https = f[14] == kTrue;
    if (given(15)) site.proxy = f[15];
    for (const std::string& field : f.keyed) {
        const std::size_t equals = field.find('=');
        std::string why = equals == std::string::npos
                              ? "“" + field.substr(0, 40) + "”不是“设置项=值”"
                              : setSiteField(site, std::string_view(field).substr(0, equals),
                                             std::string_view(field).substr(equals + 1));
        if (!why.empty() && problem != nullptr && problem->empty()) *problem = std::move(why);
    }
    normalizeSite(site);
    return site;
}

std::string maskedSiteLine(std::string_view line) {
    SiteLineFields fields = splitSiteLine(line);
    // Lines without a password or a proxy password are shown as they stand.
    const bool secretKeyed = std::any_of(fields.keyed.begin(), fields.keyed.end(), [](const std::string& f) {
        return f.starts_with("密码=") || f.starts_with(std::string(kProxyKey) + "=");
    });
    if (fields[2].empty() && maskedProxySetting(fields[15]) == fields[15] && !secretKeyed) {
        return std::string(line);
    }
    if (!fields[2].empty()) fields[2] = "******";
    fields[15] = maskedProxySetting(fields[15]);
    std::size_t used = kSiteLineFieldCount;
    while (used > 3 && fields[used - 1].empty() && !fields.quoted[used - 1] && fields.keyed.empty()) --used;
    std::string out;
    for (std::size_t i = 0; i < used; ++i) {
        if (i > 0) out += '|';
        out += fields.quoted[i] ? siteLineField(fields[i]) : fields[i];
    }
    for (const std::string& keyed : fields.keyed) {
        const std::size_t equals = keyed.find('=');
        const std::string key = keyed.substr(0, equals);
        const std::string value = keyed.substr(equals + 1);
        out += "|" + siteLineField(key + "=" +
                                   (key == "密码"      ? std::string("******")
                                    : key == kProxyKey ? maskedProxySetting(value)
                                                       : value));
    }
    return out;
}

std::string siteProblem(const SiteConfig& site) {
    if (site.domain.empty()) return "域名不能为空！";
    if (site.user.empty()) return "用户不能为空！";
    if (site.password.empty()) return "密码不能为空！";
    // A combo box has no item for other numbers; such a record could not be shown or used.
    if (site.charset < 0 || site.charset > 1) return "编码只能是 0（UTF-8）或 1（GBK）！";
    if (site.fileEncoding < 0 || site.fileEncoding > 4) return "文件编码只能是 0 到 4！";
    if (site.proxy) return proxySettingProblem(*site.proxy);
    return {};
}

}  // namespace oz::config
