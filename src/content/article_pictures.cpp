#include "content/article_pictures.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "content/article_source.h"
#include "text/characters.h"
#include "text/cleaning.h"

namespace oz::content {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPictureExtensions[] = {".jpg", ".jpeg", ".png", ".gif", ".webp", ".bmp"};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text::equalsNoCase(text.substr(0, prefix.size()), prefix);
}

bool endsInPictureExtension(std::string_view address) {
    address = address.substr(0, address.find_first_of("?#"));
    for (std::string_view extension : kPictureExtensions) {
        if (address.size() >= extension.size() &&
            text::equalsNoCase(address.substr(address.size() - extension.size()), extension)) {
            return true;
        }
    }
    return false;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool isFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_regular_file(fs::path(path), error);
}

bool isWindowsAbsolute(std::string_view path) {
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// The local file an address names ("" when none: a web address, or an absolute path of no file),
// and whether it is local at all (a relative address is local even when its file is missing).
std::optional<std::string> localFile(std::string_view address, std::string_view folder) {
    if (address.empty() || startsWithNoCase(address, "http://") || startsWithNoCase(address, "https://") ||
        address.starts_with("//") || startsWithNoCase(address, "data:") || address.starts_with("#")) {
        return std::nullopt;
    }
    if (startsWithNoCase(address, "file://")) {
        std::string path = percentDecoded(address.substr(7));
        // file://host/path: only the local host is this machine.
        if (startsWithNoCase(path, "localhost/")) path.erase(0, 9);
        if (path.size() >= 4 && path[0] == '/' && isWindowsAbsolute(std::string_view(path).substr(1))) {
            path.erase(0, 1);
        }
        return toLocalPath(path);
    }
    // Another scheme ("mailto:", "ftp:", "javascript:") is no file of this machine.
    const std::size_t colon = address.find(':');
    if (colon != std::string_view::npos && colon > 1 && address.find('/') > colon) return std::nullopt;
    const bool absolute = address.starts_with("/") || isWindowsAbsolute(address);
    std::vector<std::string> candidates;
    for (const std::string& form : {std::string(address), percentDecoded(address)}) {
        candidates.push_back(absolute ? form : std::string(folder) + form);
    }
    for (const std::string& candidate : candidates) {
        const std::string local = toLocalPath(candidate);
        if (isFile(local)) return local;
    }
    if (absolute) return std::nullopt;
    return toLocalPath(candidates.front());
}

// The value of attribute `name` in the start tag tag[0..end): offset and length in the body.
bool attributeValue(std::string_view body, std::size_t from, std::size_t end, std::string_view name,
                    std::size_t& offset, std::size_t& length) {
    std::size_t i = from;
    while (i < end) {
        while (i < end && (isSpace(body[i]) || body[i] == '/')) ++i;
        const std::size_t nameStart = i;
        while (i < end && !isSpace(body[i]) && body[i] != '=' && body[i] != '>' && body[i] != '/') ++i;
        const std::string_view attribute = body.substr(nameStart, i - nameStart);
        while (i < end && isSpace(body[i])) ++i;
        if (i >= end || body[i] != '=') {
            if (attribute.empty()) ++i;
            continue;
        }
        ++i;
        while (i < end && isSpace(body[i])) ++i;
        std::size_t valueStart = i;
        std::size_t valueEnd;
        if (i < end && (body[i] == '"' || body[i] == '\'')) {
            const char quote = body[i];
            valueStart = i + 1;
            valueEnd = body.find(quote, valueStart);
            if (valueEnd == std::string_view::npos || valueEnd > end) valueEnd = end;
            i = valueEnd + 1;
        } else {
            while (i < end && !isSpace(body[i]) && body[i] != '>') ++i;
            valueEnd = i;
        }
        if (text::equalsNoCase(attribute, name)) {
            offset = valueStart;
            length = valueEnd - valueStart;
            return true;
        }
    }
    return false;
}

// The end of the start tag that begins at `at` (the position of its ">"), quotes respected.
std::size_t tagEnd(std::string_view body, std::size_t at) {
    char quote = 0;
    for (std::size_t i = at; i < body.size(); ++i) {
        const char c = body[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            // A quote opens a value only after "=" (a stray one in a broken tag is text).
            std::size_t back = i;
            while (back > at && isSpace(body[back - 1])) --back;
            if (back > at && body[back - 1] == '=') quote = c;
        } else if (c == '>') {
            return i;
        }
    }
    return body.size();
}

}  // namespace

std::vector<LocalPicture> localPictures(std::string_view body, std::string_view articlePath) {
    std::string folder;
    const std::string local = toLocalPath(articlePath);
    const std::size_t slash = local.rfind('/');
    if (slash != std::string::npos) folder = local.substr(0, slash + 1);

    std::vector<LocalPicture> pictures;
    std::size_t at = 0;
    while ((at = body.find('<', at)) != std::string_view::npos) {
        if (body.substr(at, 4) == "<!--") {
            const std::size_t close = body.find("-->", at + 4);
            if (close == std::string_view::npos) break;
            at = close + 3;
            continue;
        }
        const std::string_view rest = body.substr(at + 1);
        const bool image =
            startsWithNoCase(rest, "img") && rest.size() > 3 && (isSpace(rest[3]) || rest[3] == '/');
        const bool anchor = startsWithNoCase(rest, "a") && rest.size() > 1 && isSpace(rest[1]);
        const std::size_t end = tagEnd(body, at + 1);
        if (image || anchor) {
            std::size_t offset = 0;
            std::size_t length = 0;
            if (attributeValue(body, at + (image ? 4 : 2), end, image ? "src" : "href", offset, length)) {
                const std::string written(body.substr(offset, length));
                const std::string address = text::trimBlanks(text::decodeEntities(written));
                if (image || endsInPictureExtension(address)) {
                    if (std::optional<std::string> file = localFile(address, folder)) {
                        pictures.push_back({offset, length, written, std::move(*file), anchor});
                    }
                }
            }
        }
        at = end;
    }
    return pictures;
}

std::string withAddresses(std::string_view body, const std::vector<LocalPicture>& pictures,
                          const std::vector<std::string>& stored) {
    std::string out;
    out.reserve(body.size());
    std::size_t done = 0;
    for (std::size_t i = 0; i < pictures.size() && i < stored.size(); ++i) {
        out.append(body.substr(done, pictures[i].offset - done));
        out += stored[i];
        done = pictures[i].offset + pictures[i].length;
    }
    out.append(body.substr(done));
    return out;
}

std::optional<PictureType> pictureType(std::string_view bytes) {
    if (bytes.starts_with("\x89PNG\r\n\x1a\n")) return PictureType{"png", "image/png"};
    if (bytes.starts_with("\xff\xd8\xff")) return PictureType{"jpg", "image/jpeg"};
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return PictureType{"gif", "image/gif"};
    if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP") {
        return PictureType{"webp", "image/webp"};
    }
    if (bytes.size() >= 26 && bytes.starts_with("BM")) return PictureType{"bmp", "image/bmp"};
    return std::nullopt;
}

PictureFile readPictureFile(const std::string& file) {
    // A picture this large is no article's picture; no back end's upload limit comes near it.
    constexpr std::uintmax_t kMaxPictureBytes = 32u * 1024u * 1024u;
    PictureFile picture;
    auto fail = [&picture](const char* problem) {
        picture.bytes.clear();
        picture.problem = problem;
        return picture;
    };
    std::error_code error;
    const fs::path path(file);
    if (!fs::exists(path, error)) return fail("文件不存在");
    if (!fs::is_regular_file(path, error)) return fail("无法读取");
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) return fail("无法读取");
    if (size > kMaxPictureBytes) return fail("文件过大");
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("无法读取");
    picture.bytes.resize(static_cast<std::size_t>(size));
    in.read(picture.bytes.data(), static_cast<std::streamsize>(picture.bytes.size()));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) return fail("无法读取");
    picture.type = pictureType(picture.bytes);
    if (!picture.type) picture.problem = "不是图片";
    return picture;
}

}  // namespace oz::content
