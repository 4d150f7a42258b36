#include "backend/picture_upload.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "backend/backend_ledger.h"
#include "content/article_pictures.h"
#include "content/text_lines.h"
#include "http/multipart.h"
#include "text/characters.h"

namespace oz::backend {

namespace {

constexpr std::string_view kUploadPage = "dialog/select_images_post.php";
constexpr int kUploadSends = 3;

constexpr std::string_view kTypeRefused = "站点不接受此类型";
constexpr std::string_view kNotReceived = "超过站点的上传大小限制";
constexpr std::string_view kFailedStart = "图片上传失败：";
constexpr std::string_view kAskedForFolder = "后台管理目录才能登录";
constexpr std::string_view kLoggedOut = "后台登录已失效";

// 5.7.88's upload filter (uploadsafe.inc.php) re-encodes each JPEG and PNG file of a request
// through GD and then frees "the" image, also after a GIF or WebP, for which it made none: on PHP 8
// that ends such an upload in a fatal error (HTTP 500) before the page could accept or refuse it.
// An earlier file part that made an image avoids it, so those go after this 1-pixel PNG. The page
// itself only takes "imgfile".
constexpr char kPrimerPng[] =
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08"
    "\x00\x00\x00\x00\x3a\x7e\x9b\x55\x00\x00\x00\x0a\x49\x44\x41\x54\x78\x9c\x63\x60\x00\x00\x00\x02\x00"
    "\x01\x48\xaf\xa4\x71\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82";

// Where each back end keeps its upload page, once found: true below include/, false in the
// back-end folder. Shared by every thread of the process.
std::mutex g_placesMutex;
std::map<std::string, bool> g_places;

std::optional<bool> knownPlace(const std::string& backEnd) {
    std::lock_guard lock(g_placesMutex);
    const auto found = g_places.find(backEnd);
    if (found == g_places.end()) return std::nullopt;
    return found->second;
}

void rememberPlace(const std::string& backEnd, bool underInclude) {
    std::lock_guard lock(g_placesMutex);
    g_places[backEnd] = underInclude;
}

std::string uploadUrl(const config::SiteConfig& site, bool underInclude) {
    if (underInclude) return installUrl(site, "include/" + std::string(kUploadPage));
    return backEndBaseUrl(site) + "/" + std::string(kUploadPage);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The string value of "key" in a JSON text as PHP's json_encode writes it; std::nullopt when absent.
std::optional<std::string> jsonString(std::string_view json, std::string_view key) {
    const std::string quoted = "\"" + std::string(key) + "\":\"";
    const std::size_t start = json.find(quoted);
    if (start == std::string_view::npos) return std::nullopt;
    std::string value;
    for (std::size_t i = start + quoted.size(); i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') return value;
        if (c != '\\' || i + 1 >= json.size()) {
            value += c;
            continue;
        }
        const char escaped = json[++i];
        if (escaped == 'u' && i + 4 < json.size()) {
            char32_t unit = 0;
            for (int k = 1; k <= 4; ++k)
                unit = unit * 16 + static_cast<char32_t>(std::max(0, hexValue(json[i + k])));
            i += 4;
            if (unit >= 0xD800 && unit < 0xDC00 && i + 6 < json.size() && json[i + 1] == '\\' &&
                json[i + 2] == 'u') {
                char32_t low = 0;
                for (int k = 3; k <= 6; ++k)
                    low = low * 16 + static_cast<char32_t>(std::max(0, hexValue(json[i + k])));
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 6;
            }
            value += text::fromCodePoint(unit);
        } else {
            value += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
        }
    }
    return std::nullopt;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

// A query value of a link in the page ("comeback=..."), percent-decoded; empty when absent.
std::string linkValue(std::string_view page, std::string_view name) {
    for (const std::string& lead : {"?" + std::string(name) + "=", "&" + std::string(name) + "="}) {
        const std::size_t at = page.find(lead);
        if (at == std::string_view::npos) continue;
        const std::size_t start = at + lead.size();
        const std::size_t end = page.find_first_of("&\"' ;", start);
        return percentDecoded(page.substr(start, end == std::string_view::npos ? end : end - start));
    }
    return {};
}

// The address in the editor's callback script: CKEDITOR.tools.callFunction(N, 'URL', 'MESSAGE').
std::optional<std::pair<std::string, std::string>> callbackArguments(std::string_view page) {
    const std::size_t call = page.find("CKEDITOR.tools.callFunction(");
    if (call == std::string_view::npos) return std::nullopt;
    std::vector<std::string> quoted;
    std::size_t at = call;
    while (quoted.size() < 2) {
        const std::size_t open = page.find('\'', at);
        if (open == std::string_view::npos) break;
        const std::size_t close = page.find('\'', open + 1);
        if (close == std::string_view::npos) break;
        quoted.emplace_back(page.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    if (quoted.empty()) return std::nullopt;
    if (quoted.size() < 2) quoted.emplace_back();
    return std::make_pair(quoted[0], quoted[1]);
}

std::string hex64(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string failureLine(const content::LocalPicture& picture, std::string_view reason) {
    return std::string(kFailedStart) + content::displayText(picture.written) + reasonInParentheses(reason);
}

}  // namespace

std::optional<std::string> PictureCache::find(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_addresses.find(key);
    if (found == m_addresses.end()) return std::nullopt;
    return found->second;
}

void PictureCache::remember(const std::string& key, const std::string& address) {
    std::lock_guard lock(m_mutex);
    m_addresses[key] = address;
}

std::string pictureKey(std::string_view backEnd, std::string_view bytes) {
    // Two independent 64-bit hashes and the size: no two pictures of a run come near a clash.
    std::uint64_t fnv = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        fnv ^= c;
        fnv *= 0x100000001b3ull;
    }
    const std::uint64_t other = std::hash<std::string_view>{}(bytes);
    return std::string(backEnd) + "\n" + std::to_string(bytes.size()) + ":" + hex64(fnv) + hex64(other);
}

UploadReading readUploadAnswer(const http::PageAnswer& answer) {
    UploadReading result;
    if (answer.ok && answer.status == 404) {
        result.reading = {Outcome::NotSent, httpStatusReason(answer.status)};
        result.pageMissing = true;
        return result;
    }
    if (answer.ok && answer.status == 413) {
        result.reading = {Outcome::Refused, std::string(kNotReceived)};
        return result;
    }
    const std::string& page = answer.text;
    if (answer.ok && answer.status == 200) {
        // 5.7: the editor's callback script; 5.8 and DedeBIZ: JSON.
        if (auto arguments = callbackArguments(page)) {
            if (!arguments->first.empty()) {
                result.reading = {Outcome::Done, {}};
                result.address = arguments->first;
            } else {
                result.reading = {Outcome::Refused, arguments->second.empty()
                                                        ? std::string("后台没有给出图片地址")
                                                        : arguments->second};
            }
            return result;
        }
        if (page.find("\"uploaded\":1") != std::string::npos) {
            if (auto url = jsonString(page, "url"); url && !url->empty()) {
                result.reading = {Outcome::Done, {}};
                result.address = *url;
                return result;
            }
        }
        if (page.find("\"uploaded\":0") != std::string::npos) {
            const std::optional<std::string> message = jsonString(page, "message");
            result.reading = {Outcome::Refused, message.value_or("后台拒绝了上传")};
            return result;
        }
        // Without the editor's answer the page says so on a message page whose link names the
        // stored file: select_images.php?...comeback=NAME&...&activepath=FOLDER.
        const std::string name = linkValue(page, "comeback");
        const std::string folder = linkValue(page, "activepath");
        if (!name.empty() && !folder.empty() && messagePageText(page)) {
            result.reading = {Outcome::Done, {}};
            result.address = folder + "/" + name;
            return result;
        }
        const std::string trimmed = text::trimBlanks(page);
        if (trimmed.starts_with("Upload filetype not allow")) {
            result.reading = {Outcome::Refused, trimmed};
            return result;
        }
    }
    result.reading = readActionAnswer(answer, {});
    return result;
}

std::string uploadRefusalReason(std::string_view refusal, const BackendFamily& family) {
    // The upload's own session check (dialog/config.php) asks a visitor for the back-end folder.
    if (refusal.find(kAskedForFolder) != std::string_view::npos) return std::string(kLoggedOut);
    for (std::string_view text : family.pictureTypeRefusals) {
        if (!text.empty() && refusal.find(text) != std::string_view::npos) return std::string(kTypeRefused);
    }
    if (refusal.find(family.pictureNotReceived) != std::string_view::npos) return std::string(kNotReceived);
    return std::string(refusal);
}

namespace {

// One picture to the site: its stored address, or the reason it was not stored.
std::optional<std::string> uploadOne(AdminSession& session, const BackendContext& context,
                                     const std::string& bytes, const content::PictureType& type,
                                     std::string& reason) {
    const config::SiteConfig& site = session.site;
    const BackendFamily& family = familyOf(session);
    const std::string backEnd = backEndBaseUrl(site);
    bool underInclude = knownPlace(backEnd).value_or(family.uploadUnderInclude);
    bool placeTried = false;
    for (int sends = 0; sends < kUploadSends;) {
        std::vector<http::MultipartPart> parts;
        if (underInclude && type.extension != "jpg" && type.extension != "png") {
            parts.push_back(
                {"ozprimer", std::string(kPrimerPng, sizeof kPrimerPng - 1), "a.png", "image/png"});
        }
        parts.push_back(
            {"imgfile", bytes, "picture." + std::string(type.extension), std::string(type.mimeType)});
        parts.push_back({"CKUpload", "1", {}, {}});
        for (std::string_view field : family.watermarkFields) {
            if (!field.empty())
                parts.push_back({std::string(field), site.watermarkImages ? "1" : "0", {}, {}});
        }
        http::MultipartBody body = http::multipartBody(parts);
        http::PageRequest request;
        request.url = uploadUrl(site, underInclude);
        request.postBytes = std::move(body.bytes);
        request.contentType = std::move(body.contentType);
        request.answerDecoding = siteAnswerDecoding(site);
        request.referer = backEndBaseUrl(site) + "/article_add.php";
        const UploadReading read = readUploadAnswer(sendRequest(session, context, request));
        if (read.pageMissing && !placeTried) {
            placeTried = true;
            underInclude = !underInclude;
            continue;
        }
        ++sends;
        if (read.reading.done()) {
            rememberPlace(backEnd, underInclude);
            return read.address;
        }
        reason = read.reading.outcome == Outcome::Refused ? uploadRefusalReason(read.reading.reason, family)
                                                          : read.reading.reason;
        // Refused: the same file gets the same answer; never sent: the site cannot be reached.
        if (read.reading.outcome != Outcome::Unknown || context.aborted()) break;
    }
    return std::nullopt;
}

}  // namespace

PictureUploads uploadPictures(AdminSession& session, const BackendContext& context,
                              content::ArticleDraft& draft, PictureCache* cache) {
    PictureUploads result;
    const std::vector<content::LocalPicture> pictures = content::localPictures(draft.body, draft.path);
    if (pictures.empty()) return result;
    const std::string backEnd = backEndKey(session.site);
    std::map<std::string, std::string> article;  // this article's pictures by file
    std::vector<std::string> stored;
    for (const content::LocalPicture& picture : pictures) {
        if (const auto same = article.find(picture.file); same != article.end()) {
            stored.push_back(same->second);
            continue;
        }
        const content::PictureFile file = content::readPictureFile(picture.file);
        if (!file.problem.empty()) {
            result.ok = false;
            result.failure = failureLine(picture, file.problem);
            return result;
        }
        const std::string& bytes = file.bytes;
        const content::PictureType& type = *file.type;
        const std::string key = pictureKey(backEnd, bytes);
        std::optional<std::string> address = cache != nullptr ? cache->find(key) : std::nullopt;
        if (address) {
            ++result.reused;
        } else {
            std::string reason;
            address = uploadOne(session, context, bytes, type, reason);
            if (!address) {
                result.ok = false;
                result.failure = failureLine(picture, reason);
                return result;
            }
            ++result.uploaded;
            if (cache != nullptr) cache->remember(key, *address);
        }
        article[picture.file] = *address;
        stored.push_back(*address);
        result.addresses.push_back(*address);
    }
    draft.body = content::withAddresses(draft.body, pictures, stored);
    return result;
}

}  // namespace oz::backend
