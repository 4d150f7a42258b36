#include "text/markers.h"

#include <algorithm>
#include <optional>

#include "text/characters.h"

namespace oz::text {
namespace {

constexpr auto npos = std::string_view::npos;

struct Found {
    std::string_view content;
    std::size_t next;  // just past the end marker
};

std::optional<Found> findBetween(std::string_view text, std::string_view start, std::string_view end,
                                 std::size_t from, bool nearestBeforeEnd) {
    if (from > text.size()) return std::nullopt;
    std::size_t contentBegin;
    std::size_t endAt;
    if (!nearestBeforeEnd) {
        const std::size_t startAt = start.empty() ? from : findNoCase(text, start, from);
        if (startAt == npos) return std::nullopt;
        contentBegin = startAt + start.size();
        endAt = end.empty() ? text.size() : findNoCase(text, end, contentBegin);
        if (endAt == npos) return std::nullopt;
    } else {
        endAt = end.empty() ? text.size() : findNoCase(text, end, from);
        if (endAt == npos) return std::nullopt;
        if (start.empty()) {
            contentBegin = from;
        } else {
            // The start marker must lie wholly before the end marker.
            if (endAt < start.size()) return std::nullopt;
            const std::size_t startAt = rfindNoCase(text, start, endAt - start.size());
            if (startAt == npos) return std::nullopt;
            contentBegin = startAt + start.size();
        }
    }
    return Found{text.substr(contentBegin, endAt - contentBegin), endAt + end.size()};
}

std::string withoutDoubleQuotes(std::string_view text) {
    std::string out(text);
    out.erase(std::remove(out.begin(), out.end(), '"'), out.end());
    return out;
}

// The next "<tag" or "</tag" (per `prefix`) at or after `from` in the lower-cased text whose name
// ends there, so that "<b" does not match "<br>".
std::size_t findTag(std::string_view lower, std::string_view prefix, std::size_t from) {
    for (std::size_t at = lower.find(prefix, from); at != npos; at = lower.find(prefix, at + 1)) {
        const std::size_t after = at + prefix.size();
        if (after == lower.size()) return npos;
        const char c = lower[after];
        if (c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') return at;
    }
    return npos;
}

}  // namespace

std::string quotePairsToDoubleQuote(std::string_view text) { return replaceAll(text, "''", "\""); }

std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        MarkerPosition& position, bool nearestBeforeEnd) {
    if (position.exhausted) return {};
    const std::string start = quotePairsToDoubleQuote(startMarker);
    const std::string end = quotePairsToDoubleQuote(endMarker);
    auto found = findBetween(text, start, end, position.offset, nearestBeforeEnd);
    if (!found && (start.find('"') != npos || end.find('"') != npos)) {
        found = findBetween(text, withoutDoubleQuotes(start), withoutDoubleQuotes(end), position.offset,
                            nearestBeforeEnd);
    }
    if (!found) {
        if (position.offset == 0) position.exhausted = true;
        return {};
    }
    position.offset = found->next;
    return std::string(found->content);
}

std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        bool nearestBeforeEnd) {
    MarkerPosition position;
    return textBetween(text, startMarker, endMarker, position, nearestBeforeEnd);
}

std::string elementContent(std::string_view text, std::string_view tagName) {
    if (tagName.empty()) return {};
    const std::string lower = toLowerAscii(text);
    const std::string open = "<" + toLowerAscii(tagName);
    const std::string close = "</" + toLowerAscii(tagName);
    const std::size_t openAt = findTag(lower, open, 0);
    if (openAt == npos) return {};
    const std::size_t openEnd = lower.find('>', openAt);
    if (openEnd == npos) return {};
    const std::size_t contentBegin = openEnd + 1;

    // Nested elements of the same name are counted so the matching end tag closes the content.
    int depth = 1;
    std::size_t nextOpen = findTag(lower, open, contentBegin);
    std::size_t nextClose = findTag(lower, close, contentBegin);
    while (nextClose != npos) {
        if (nextOpen != npos && nextOpen < nextClose) {
            ++depth;
            nextOpen = findTag(lower, open, nextOpen + 1);
            continue;
        }
        if (--depth == 0) return std::string(text.substr(contentBegin, nextClose - contentBegin));
        nextClose = findTag(lower, close, nextClose + 1);
    }
    return std::string(text.substr(contentBegin));
}

std::vector<std::string_view> splitList(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    if (separator.empty()) return {text};
    while (true) {
        const std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == npos) return pieces;
        text.remove_prefix(at + separator.size());
    }
}

bool containsAlternatives(std::string_view text, std::string_view alternatives, bool anyOf) {
    bool any = false;
    for (const std::string_view alternative : splitList(alternatives, "[fg]")) {
        if (alternative.empty()) continue;
        const bool found = findNoCase(text, alternative) != npos;
        if (anyOf && found) return true;
        if (!anyOf && !found) return false;
        any = true;
    }
    return !anyOf && any;
}

bool containsAllPieces(std::string_view text, std::string_view pieces) {
    const auto list = splitList(pieces, "|");
    return std::all_of(list.begin(), list.end(), [&](std::string_view piece) {
        return piece.empty() || findNoCase(text, piece) != npos;
    });
}

std::string replaceEach(std::string_view text, std::string_view finds, std::string_view replacements,
                        bool caseSensitive, bool reuseFirst) {
    const auto findList = splitList(finds, "|");
    const auto replacementList = splitList(replacements, "|");
    std::string current(text);
    std::string next;
    for (std::size_t i = 0; i < findList.size(); ++i) {
        std::string_view replacement = i < replacementList.size() ? replacementList[i] : std::string_view{};
        if (replacement.empty() && reuseFirst) replacement = replacementList.front();
        if (replaceAllInto(current, findList[i], replacement, caseSensitive, next)) current.swap(next);
    }
    return current;
}

std::string replaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool caseSensitive) {
    std::string out;
    if (!replaceAllInto(text, find, replacement, caseSensitive, out)) return std::string(text);
    return out;
}

bool replaceAllInto(std::string_view text, std::string_view find, std::string_view replacement,
                    bool caseSensitive, std::string& out) {
    if (find.empty()) return false;
    const auto search = [&](std::size_t from) {
        return caseSensitive ? text.find(find, from) : findNoCase(text, find, from);
    };
    std::size_t at = search(0);
    if (at == npos) return false;
    out.clear();
    out.reserve(text.size() + (replacement.size() > find.size() ? text.size() / 8 : 0));
    std::size_t copied = 0;
    for (; at != npos; at = search(copied)) {
        out.append(text, copied, at - copied);
        out.append(replacement);
        copied = at + find.size();
    }
    out.append(text.substr(copied));
    return true;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::size_t contentEnd = end;
        if (lf != std::string_view::npos && contentEnd > start && text[contentEnd - 1] == '\r') --contentEnd;
        lines.push_back(text.substr(start, contentEnd - start));
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
    return lines;
}

}  // namespace oz::text
