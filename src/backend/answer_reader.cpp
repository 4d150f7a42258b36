#include "backend/answer_reader.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "backend/answer_text.h"
#include "backend/html_elements.h"
#include "text/characters.h"
#include "text/cleaning.h"
#include "text/markers.h"

namespace oz::backend {
namespace {

constexpr std::string_view kWrite = "document.write(\"";
constexpr std::string_view kWriteEnd = "\");";
constexpr std::string_view kEditLink = "archives_do.php?aid=";
constexpr std::string_view kEditAction = "dopost=editArchives";
constexpr std::string_view kLoggedOut = "后台登录已失效，转向了登录页";
constexpr std::size_t kMaxTitleShown = 60;

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The edit action right after an edit link's id ("&dopost=editArchives", or with "&amp;").
bool editActionAt(std::string_view page, std::size_t at) {
    std::string_view rest = page.substr(at);
    if (rest.starts_with("&amp;")) {
        rest.remove_prefix(5);
    } else if (rest.starts_with("&")) {
        rest.remove_prefix(1);
    } else {
        return false;
    }
    return rest.starts_with(kEditAction);
}

// The number at `at`, moving `at` past its digits; 0 when there are none (or too many).
int numberAt(std::string_view text, std::size_t& at) {
    long long value = 0;
    std::size_t digits = 0;
    while (at < text.size() && isDigit(text[at])) {
        if (++digits <= 9) value = value * 10 + (text[at] - '0');
        ++at;
    }
    return digits >= 1 && digits <= 9 ? static_cast<int>(value) : 0;
}

std::string plainText(std::string_view html) {
    text::StripTagsOptions options;
    options.breakBeforeBlocks = false;
    options.fullWidthSizeSigns = false;
    std::string plain = text::stripTags(html, options);
    for (char& c : plain) {
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    }
    return text::trimBlanks(plain);
}

std::string headerValue(std::string_view headers, std::string_view name) {
    for (std::string_view line : text::splitLines(headers)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !text::equalsNoCase(line.substr(0, colon), name)) continue;
        return text::trimBlanks(line.substr(colon + 1));
    }
    return {};
}

// The title in an edit link's anchor (from inside its start tag to its end tag): DedeCMS's in
// "<u>", DedeBIZ's the anchor's own text. The start tag may quote the title itself, so the "<u>"
// is looked for first.
std::string_view linkedTitle(std::string_view anchor) {
    const std::size_t open = anchor.find("<u>");
    const std::size_t close = open == std::string_view::npos ? open : anchor.find("</u>", open);
    if (close != std::string_view::npos) return anchor.substr(open + 3, close - open - 3);
    const std::size_t tagEnd = anchor.find('>');
    return tagEnd == std::string_view::npos ? std::string_view() : anchor.substr(tagEnd + 1);
}

// A page that is not the back end's: says so, with the page's title when it has one.
std::string foreignPageReason(std::string_view page) {
    std::string title = plainText(text::elementContent(page, "title"));
    if (title.size() > kMaxTitleShown) title = text::leftChars(title, 30) + "…";
    return title.empty() ? "回答不是 DedeCMS 后台的页面" : "回答不是 DedeCMS 后台的页面（" + title + "）";
}

}  // namespace

std::string listedText(std::string_view html) { return plainText(html); }

namespace {

// The texts a script writes with document.write("..."), in order.
std::vector<std::string_view> scriptWrites(std::string_view script) {
    std::vector<std::string_view> writes;
    for (std::size_t at = script.find(kWrite); at != std::string_view::npos; at = script.find(kWrite, at)) {
        at += kWrite.size();
        const std::size_t end = script.find(kWriteEnd, at);
        if (end == std::string_view::npos) break;
        writes.push_back(script.substr(at, end - at));
        at = end;
    }
    return writes;
}

// The message of a family's message page: the write after the one that opens its message box,
// inside a script the page runs. A page with no such box, or with two, shows no message of its own.
std::optional<std::string_view> messageWrite(const std::vector<PageToken>& tokens,
                                             const BackendFamily& family) {
    std::optional<std::string_view> message;
    int boxes = 0;
    for (const PageToken& token : tokens) {
        if (token.kind != PageToken::Kind::Script) continue;
        const std::vector<std::string_view> writes = scriptWrites(token.text);
        for (std::size_t i = 0; i < writes.size(); ++i) {
            if (writes[i].find(family.messageBox) == std::string_view::npos) continue;
            if (++boxes > 1) return std::nullopt;
            if (i + 1 < writes.size()) message = writes[i + 1];
        }
    }
    return message;
}

}  // namespace

std::optional<MessagePage> readMessagePage(std::string_view page) {
    if (messagePageFamily(page) == nullptr) return std::nullopt;
    const std::vector<PageToken> tokens = pageTokens(page);
    // The family whose box the page shows; another family's title elsewhere on it changes nothing.
    for (const BackendFamily* family : kFamilies) {
        const bool titled = std::any_of(
            family->messageTitles.begin(), family->messageTitles.end(), [page](std::string_view title) {
                return !title.empty() && page.find(title) != std::string_view::npos;
            });
        if (!titled) continue;
        if (const std::optional<std::string_view> message = messageWrite(tokens, *family)) {
            return MessagePage{family, plainText(text::replaceAll(*message, "\\\"", "\""))};
        }
    }
    return std::nullopt;
}

std::optional<std::string> messagePageText(std::string_view page) {
    std::optional<MessagePage> shown = readMessagePage(page);
    if (!shown) return std::nullopt;
    return std::move(shown->text);
}

std::optional<std::string> articleLinkTag(std::string_view page, const BackendFamily& family,
                                          bool inLinkList) {
    // The link is written as the back end writes it, word for word.
    if (page.find(family.articleLink) == std::string_view::npos) return std::nullopt;
    const std::vector<PageToken> tokens = pageTokens(page);
    std::string_view linkText = family.articleLink;
    const bool underlined = linkText.starts_with("<u>") && linkText.ends_with("</u>");
    if (underlined) linkText = linkText.substr(3, linkText.size() - 7);
    auto isTag = [&tokens](std::size_t at, PageToken::Kind kind, std::string_view name) {
        return at < tokens.size() && tokens[at].kind == kind && text::equalsNoCase(tokens[at].name, name);
    };
    // The anchor at `at`: "<a ...>", "<u>" when underlined, the link text, "</u>", "</a>".
    auto linkAt = [&](std::size_t at) {
        if (!isTag(at, PageToken::Kind::Start, "a")) return false;
        std::size_t next = at + 1;
        if (underlined && !isTag(next++, PageToken::Kind::Start, "u")) return false;
        if (next >= tokens.size() || tokens[next].kind != PageToken::Kind::Text ||
            tokens[next].text != linkText) {
            return false;
        }
        ++next;
        if (underlined && !isTag(next++, PageToken::Kind::End, "u")) return false;
        return isTag(next, PageToken::Kind::End, "a");
    };
    if (!inLinkList) {
        for (std::size_t at = 0; at < tokens.size(); ++at) {
            if (linkAt(at)) return tokens[at].text;
        }
        return std::nullopt;
    }
    for (std::size_t at = 0; at < tokens.size(); ++at) {
        if (!isTag(at, PageToken::Kind::Start, family.linkListTag) ||
            elementAttribute(tokens[at].text, family.linkListAttribute) != family.linkListValue) {
            continue;
        }
        int depth = 1;
        for (std::size_t inside = at + 1; inside < tokens.size() && depth > 0; ++inside) {
            if (isTag(inside, PageToken::Kind::Start, family.linkListTag)) ++depth;
            if (isTag(inside, PageToken::Kind::End, family.linkListTag)) --depth;
            if (depth > 0 && linkAt(inside)) return tokens[inside].text;
        }
    }
    return std::nullopt;
}

std::string reasonInParentheses(std::string_view reason) {
    return reason.empty() ? std::string() : "（" + std::string(reason) + "）";
}

bool isLoginPage(std::string_view page) {
    return !findElement(page, "input", "name", "userid").empty() &&
           !findElement(page, "input", "name", "pwd").empty();
}

std::string httpStatusReason(long status) {
    std::string reason = "HTTP " + std::to_string(status);
    switch (status) {
        case 401:
            return reason + "，网站要求 HTTP 认证";
        case 403:
            return reason + "，禁止访问";
        case 404:
            return reason + "，后台目录是否正确？";
        case 500:
            return reason + "，服务器内部错误";
        case 502:
            return reason + "，网关错误";
        case 503:
            return reason + "，服务暂不可用";
        case 504:
            return reason + "，网关超时";
        default:
            return reason;
    }
}

namespace {

// What an answer that does not show the action's success says.
AnswerReading readOtherAnswer(const http::PageAnswer& answer) {
    if (!answer.ok) {
        return {http::cannotConnect(answer.failure) ? Outcome::NotSent : Outcome::Unknown,
                http::failureReason(answer)};
    }
    const std::string& page = answer.text;
    if (answer.status >= 300 && answer.status < 400) {
        // The back end sends a visitor without a session to its login page before doing anything.
        const std::string location = headerValue(answer.headers, "Location");
        if (location.find("login.php") != std::string::npos)
            return {Outcome::Refused, std::string(kLoggedOut)};
        return {Outcome::Unknown, httpStatusReason(answer.status) + "，转向 " + location};
    }
    if (answer.status >= 400) return {Outcome::Unknown, httpStatusReason(answer.status)};
    if (std::optional<std::string> message = messagePageText(page)) {
        return {Outcome::Refused, message->empty() ? std::string("后台的提示页没有文字") : *message};
    }
    if (isLoginPage(page)) return {Outcome::Refused, std::string(kLoggedOut)};
    if (page.find_first_not_of(" \t\r\n") == std::string::npos) {
        return {Outcome::Unknown, "回答为空"};
    }
    return {Outcome::Unknown, foreignPageReason(page)};
}

}  // namespace

AnswerReading readActionAnswer(const http::PageAnswer& answer, std::string_view successText) {
    if (answer.ok && !successText.empty() && answer.text.find(successText) != std::string::npos) {
        return {Outcome::Done, {}};
    }
    return readOtherAnswer(answer);
}

AnswerReading readArticleAnswer(const http::PageAnswer& answer, const BackendFamily& family) {
    if (answer.ok && articleLinkTag(answer.text, family, /*inLinkList=*/true)) return {Outcome::Done, {}};
    return readOtherAnswer(answer);
}

AnswerReading readLoginAnswer(const http::PageAnswer& answer, const BackendFamily& family) {
    // The success text counts only in the message the page shows, whatever else the page holds.
    if (answer.ok) {
        const std::optional<MessagePage> shown = readMessagePage(answer.text);
        if (shown && shown->family == &family &&
            decodeAnswerText(shown->text).find(family.loginDone) != std::string::npos) {
            return {Outcome::Done, {}};
        }
    }
    AnswerReading reading = readOtherAnswer(answer);
    if (answer.failure == http::Failure::Redirected) {
        reading.reason = "登录请求被重定向到 " + answer.redirectTarget;
    } else if (answer.ok && reading.reason == kLoggedOut) {
        reading.reason = "后台没有接受登录，回答是登录页";
    } else if (reading.reason == family.captchaRefused) {
        reading.reason += family.captchaHint;
    }
    return reading;
}

bool accountRefused(const AnswerReading& reading, const BackendFamily& family) {
    if (reading.outcome != Outcome::Refused) return false;
    for (std::string_view refusal : family.accountRefusals) {
        if (reading.reason == refusal) return true;
    }
    return false;
}

std::optional<std::vector<ListedArticle>> readArticleList(std::string_view page) {
    if (page.find("content_list.php") == std::string_view::npos ||
        page.find("keyword") == std::string_view::npos || messagePageText(page)) {
        return std::nullopt;
    }
    std::vector<ListedArticle> rows;
    std::size_t at = page.find(kEditLink);
    while (at != std::string_view::npos) {
        std::size_t cursor = at + kEditLink.size();
        const int id = numberAt(page, cursor);
        const std::size_t next = page.find(kEditLink, cursor);
        const std::size_t rowEnd = std::min(next, page.find("</tr>", cursor));
        const std::size_t close = text::findNoCase(page, "</a>", cursor);
        // A row: its edit link holding the title (DedeCMS's in <u>), before the next row's link.
        if (id > 0 && editActionAt(page, cursor) && close != std::string_view::npos && close < next) {
            ListedArticle row;
            row.id = id;
            row.title = listedText(linkedTitle(page.substr(cursor, close - cursor)));
            for (std::string_view link : {"content_list.php?cid=", "catalog_do.php?cid="}) {
                std::size_t found = page.find(link, close);
                if (found < rowEnd) {
                    found += link.size();
                    row.typeId = numberAt(page, found);
                    break;
                }
            }
            rows.push_back(std::move(row));
        }
        at = next;
    }
    return rows;
}

int editedArticleId(std::string_view page) {
    for (std::size_t at = page.find(kEditLink); at != std::string_view::npos; at = page.find(kEditLink, at)) {
        at += kEditLink.size();
        const int id = numberAt(page, at);
        if (id > 0 && editActionAt(page, at)) return id;
    }
    return 0;
}

std::string viewedArticleAddress(std::string_view page) {
    std::string address = text::textBetween(page, "location.href='", "'");
    // The back end adds "?" and the time so that a browser does not show a cached copy.
    const std::size_t question = address.rfind('?');
    if (question != std::string::npos && question + 1 < address.size() &&
        address.find_first_not_of("0123456789", question + 1) == std::string::npos) {
        address.resize(question);
    }
    return address;
}

}  // namespace oz::backend
