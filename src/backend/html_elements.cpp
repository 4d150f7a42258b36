#include "backend/html_elements.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "text/characters.h"

namespace oz::backend {
namespace {

constexpr std::string_view kSpace = " \t\r\n\f";

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == ':' || c == '_';
}

bool isVoidElement(std::string_view name) {
    static constexpr std::array<std::string_view, 14> kVoid = {"area",  "base",   "br",    "col",  "embed",
                                                               "hr",    "img",    "input", "link", "meta",
                                                               "param", "source", "track", "wbr"};
    return std::any_of(kVoid.begin(), kVoid.end(),
                       [&](std::string_view v) { return text::equalsNoCase(v, name); });
}

enum class TagKind { Start, End };

struct Tag {
    TagKind kind = TagKind::Start;
    std::size_t begin = 0;  // the "<"
    std::size_t end = 0;    // just after the ">" (or the end of the text)
    std::string_view name;
    std::string_view attributes;  // between the name and the ">"
    bool selfClosing = false;
};

// Just after the ">" that closes the tag whose name ends at `from`; quoted values may hold ">".
std::size_t tagEnd(std::string_view html, std::size_t from) {
    std::size_t i = from;
    while (i < html.size()) {
        char c = html[i];
        if (c == '>') return i + 1;
        if (c == '"' || c == '\'') {
            std::size_t close = html.find(c, i + 1);
            if (close == std::string_view::npos) break;  // unbalanced quote: fall back below
            i = close + 1;
            continue;
        }
        ++i;
    }
    std::size_t gt = html.find('>', from);
    return gt == std::string_view::npos ? html.size() : gt + 1;
}

// The next start or end tag at or after `from`, skipping comments and other markup.
std::optional<Tag> nextTag(std::string_view html, std::size_t from) {
    std::size_t i = from;
    while (true) {
        std::size_t lt = html.find('<', i);
        if (lt == std::string_view::npos || lt + 1 >= html.size()) return std::nullopt;
        if (html.compare(lt, 4, "<!--") == 0) {
            std::size_t close = html.find("-->", lt + 4);
            if (close == std::string_view::npos) return std::nullopt;
            i = close + 3;
            continue;
        }
        Tag tag;
        tag.begin = lt;
        std::size_t nameStart = lt + 1;
        if (html[nameStart] == '/') {
            tag.kind = TagKind::End;
            ++nameStart;
        }
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && isNameChar(html[nameEnd])) ++nameEnd;
        if (nameEnd == nameStart) {
            i = lt + 1;
            continue;
        }
        tag.name = html.substr(nameStart, nameEnd - nameStart);
        tag.end = tagEnd(html, nameEnd);
        std::size_t attrEnd = tag.end;
        if (attrEnd > nameEnd && html[attrEnd - 1] == '>') --attrEnd;
        tag.attributes = html.substr(nameEnd, attrEnd - nameEnd);
        std::size_t last = tag.attributes.find_last_not_of(kSpace);
        tag.selfClosing = last != std::string_view::npos && tag.attributes[last] == '/';
        return tag;
    }
}

std::vector<std::pair<std::string_view, std::string_view>> parseAttributes(std::string_view attrs) {
    std::vector<std::pair<std::string_view, std::string_view>> result;
    std::size_t i = 0;
    while (i < attrs.size()) {
        while (i < attrs.size() && (kSpace.find(attrs[i]) != std::string_view::npos || attrs[i] == '/')) ++i;
        std::size_t nameStart = i;
        while (i < attrs.size() && kSpace.find(attrs[i]) == std::string_view::npos && attrs[i] != '=' &&
               attrs[i] != '/' && attrs[i] != '>')
            ++i;
        if (i == nameStart) {
            ++i;
            continue;
        }
        std::string_view name = attrs.substr(nameStart, i - nameStart);
        while (i < attrs.size() && kSpace.find(attrs[i]) != std::string_view::npos) ++i;
        std::string_view value;
        if (i < attrs.size() && attrs[i] == '=') {
            ++i;
            while (i < attrs.size() && kSpace.find(attrs[i]) != std::string_view::npos) ++i;
            if (i < attrs.size() && (attrs[i] == '"' || attrs[i] == '\'')) {
                std::size_t close = attrs.find(attrs[i], i + 1);
                if (close == std::string_view::npos) close = attrs.size();
                value = attrs.substr(i + 1, close - i - 1);
                i = std::min(close + 1, attrs.size());
            } else {
                std::size_t valueStart = i;
                while (i < attrs.size() && kSpace.find(attrs[i]) == std::string_view::npos) ++i;
                value = attrs.substr(valueStart, i - valueStart);
            }
        }
        result.emplace_back(name, value);
    }
    return result;
}

std::optional<std::string_view> attributeOf(const Tag& tag, std::string_view name) {
    for (const auto& [attrName, value] : parseAttributes(tag.attributes)) {
        if (text::equalsNoCase(attrName, name)) return value;
    }
    return std::nullopt;
}

// Just after the end tag that closes the element started by `start`; npos when it has none.
std::size_t matchingEnd(std::string_view html, const Tag& start) {
    int depth = 1;
    std::size_t i = start.end;
    while (auto tag = nextTag(html, i)) {
        if (text::equalsNoCase(tag->name, start.name)) {
            if (tag->kind == TagKind::End) {
                if (--depth == 0) return tag->end;
            } else if (!tag->selfClosing) {
                ++depth;
            }
        }
        i = tag->end;
    }
    return std::string_view::npos;
}

bool isEmptyElement(const Tag& tag) { return tag.selfClosing || isVoidElement(tag.name); }

}  // namespace

std::string findElement(std::string_view html, std::string_view tagName, std::string_view attributeName,
                        std::string_view attributeValue) {
    std::size_t i = 0;
    while (auto tag = nextTag(html, i)) {
        i = tag->end;
        if (tag->kind != TagKind::Start || !text::equalsNoCase(tag->name, tagName)) continue;
        auto value = attributeOf(*tag, attributeName);
        if (!value || *value != attributeValue) continue;
        if (isEmptyElement(*tag)) return std::string(html.substr(tag->begin, tag->end - tag->begin));
        std::size_t end = matchingEnd(html, *tag);
        if (end == std::string_view::npos) end = html.size();
        return std::string(html.substr(tag->begin, end - tag->begin));
    }
    return {};
}

std::string elementAttribute(std::string_view element, std::string_view name) {
    auto tag = nextTag(element, 0);
    if (!tag || tag->kind != TagKind::Start) return {};
    auto value = attributeOf(*tag, name);
    return value ? std::string(*value) : std::string();
}

std::vector<std::string> childElements(std::string_view element, std::string_view tagName) {
    std::vector<std::string> children;
    auto parent = nextTag(element, 0);
    if (!parent) return children;
    // One pass over the tags: a child ends at its end tag or where the next one of its name starts,
    // as a browser closes an open option. Searching each child's end tag on its own would read the
    // rest of the text once per child without one.
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t openAt = kNone;  // the "<" of the child being read
    const auto close = [&](std::size_t end) {
        children.emplace_back(element.substr(openAt, end - openAt));
        openAt = kNone;
    };
    std::size_t i = parent->end;
    while (auto tag = nextTag(element, i)) {
        i = tag->end;
        if (!text::equalsNoCase(tag->name, tagName)) continue;
        if (tag->kind == TagKind::End) {
            if (openAt != kNone) close(tag->end);
            continue;
        }
        if (openAt != kNone) close(tag->begin);
        if (isEmptyElement(*tag)) {
            children.emplace_back(element.substr(tag->begin, tag->end - tag->begin));
        } else {
            openAt = tag->begin;
        }
    }
    if (openAt != kNone) close(element.size());
    return children;
}

namespace {

bool isRawTextElement(std::string_view name) {
    static constexpr std::array<std::string_view, 10> kRaw = {"script",   "style",   "textarea", "title",
                                                              "noscript", "xmp",     "iframe",   "noembed",
                                                              "noframes", "template"};
    return std::any_of(kRaw.begin(), kRaw.end(),
                       [&](std::string_view raw) { return text::equalsNoCase(raw, name); });
}

// The text between two tags without its comments.
std::string textWithoutComments(std::string_view text) {
    std::string out;
    std::size_t at = 0;
    while (true) {
        const std::size_t open = text.find("<!--", at);
        out.append(text.substr(at, open == std::string_view::npos ? open : open - at));
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find("-->", open + 4);
        if (close == std::string_view::npos) break;
        at = close + 3;
    }
    return out;
}

}  // namespace

std::vector<PageToken> pageTokens(std::string_view html) {
    std::vector<PageToken> tokens;
    std::size_t at = 0;
    auto addText = [&tokens](std::string_view piece) {
        std::string text = textWithoutComments(piece);
        if (!text.empty()) tokens.push_back({PageToken::Kind::Text, {}, std::move(text)});
    };
    while (auto tag = nextTag(html, at)) {
        addText(html.substr(at, tag->begin - at));
        at = tag->end;
        if (tag->kind == TagKind::End) {
            if (text::equalsNoCase(tag->name, "html")) return tokens;
            tokens.push_back({PageToken::Kind::End, tag->name, {}});
            continue;
        }
        if (text::equalsNoCase(tag->name, "plaintext")) return tokens;
        tokens.push_back(
            {PageToken::Kind::Start, tag->name, std::string(html.substr(tag->begin, tag->end - tag->begin))});
        if (!isRawTextElement(tag->name) || tag->selfClosing) continue;
        // The content runs to the element's own end tag; without one, to the end of the page.
        const std::size_t close = text::findNoCase(html.substr(at), "</" + std::string(tag->name));
        const std::size_t contentEnd = close == std::string_view::npos ? html.size() : at + close;
        if (text::equalsNoCase(tag->name, "script")) {
            tokens.push_back(
                {PageToken::Kind::Script, tag->name, std::string(html.substr(at, contentEnd - at))});
        }
        if (close == std::string_view::npos) return tokens;
        at = tagEnd(html, contentEnd + 2 + tag->name.size());
        tokens.push_back({PageToken::Kind::End, tag->name, {}});
    }
    addText(html.substr(at));
    return tokens;
}

std::string elementText(std::string_view element) {
    auto tag = nextTag(element, 0);
    if (!tag) return {};
    std::string_view rest = element.substr(tag->end);
    const std::size_t endTag = text::findNoCase(rest, "</" + std::string(tag->name) + ">");
    return std::string(rest.substr(0, endTag != std::string_view::npos ? endTag : rest.find('<')));
}

}  // namespace oz::backend
