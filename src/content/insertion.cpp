#include "content/insertion.h"

#include <algorithm>

#include "text/characters.h"
#include "text/random.h"

namespace oz::content {

namespace {

constexpr auto npos = std::string_view::npos;

struct Placement {
    std::size_t offset;  // byte offset the word goes in front of
    std::string word;
};

int insertionCount(int lo, int hi) { return std::clamp(text::randomInt(lo, hi), 1, kMaxDrawCount); }

int charsBetween(std::string_view text, std::size_t from, std::size_t to) {
    return text::countChars(text.substr(from, to - from));
}

// Where the word for the character at [start, end) goes, and with which spacing.
Placement place(std::string_view text, std::size_t start, std::size_t end, const std::string& word,
                bool htmlAware) {
    bool trailingSpace = false;
    if (end == start + 1) {
        char c = text[start];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter || c == ' ') {
            trailingSpace = true;
            if (letter) {
                std::size_t before = start == 0 ? npos : text.rfind(' ', start - 1);
                std::size_t after = text.find(' ', end);
                std::size_t space = npos;
                if (before != npos && after != npos) {
                    space =
                        charsBetween(text, before, start) < charsBetween(text, start, after) ? before : after;
                } else {
                    space = before != npos ? before : after;
                }
                if (space != npos) {
                    start = space;
                    end = space + 1;
                }
            }
        }
    }
    std::size_t offset = end;
    if (htmlAware) {
        std::size_t open = text.rfind('<', start);
        std::size_t closeBefore = text.rfind('>', start);
        std::size_t closeAfter = text.find('>', end);
        std::size_t openAfter = text.find('<', end);
        bool insideTag = open != npos && closeAfter != npos && (closeBefore == npos || closeBefore < open) &&
                         (openAfter == npos || closeAfter < openAfter);
        if (insideTag) {
            trailingSpace = false;
            offset = charsBetween(text, open, start) < charsBetween(text, start, closeAfter) ? open
                                                                                             : closeAfter + 1;
        }
    }
    return {offset, trailingSpace ? word + ' ' : word};
}

}  // namespace

std::string insertAtCharPositions(std::string_view text, const std::vector<int>& positions,
                                  const std::vector<std::string>& words, bool htmlAware) {
    if (text.empty()) return {};
    std::size_t count = std::min(positions.size(), words.size());
    if (count == 0) return std::string(text);

    // Byte ranges of the characters asked for, found in one pass over the text.
    int length = text::countChars(text);
    std::vector<std::pair<int, std::size_t>> wanted;  // (position, insertion index)
    wanted.reserve(count);
    for (std::size_t j = 0; j < count; ++j) wanted.emplace_back(std::clamp(positions[j], 1, length), j);
    std::sort(wanted.begin(), wanted.end());
    std::vector<std::pair<std::size_t, std::size_t>> ranges(count);
    std::size_t offset = 0;
    int position = 1;
    for (const auto& [target, index] : wanted) {
        while (position < target) {
            offset = text::nextChar(text, offset);
            ++position;
        }
        ranges[index] = {offset, text::nextChar(text, offset)};
    }

    std::vector<Placement> placements;
    placements.reserve(count);
    std::size_t added = 0;
    for (std::size_t j = 0; j < count; ++j) {
        placements.push_back(place(text, ranges[j].first, ranges[j].second, words[j], htmlAware));
        added += placements.back().word.size();
    }
    std::stable_sort(placements.begin(), placements.end(),
                     [](const Placement& a, const Placement& b) { return a.offset < b.offset; });

    std::string out;
    out.reserve(text.size() + added);
    std::size_t from = 0;
    for (const Placement& p : placements) {
        out.append(text.substr(from, p.offset - from));
        out.append(p.word);
        from = p.offset;
    }
    out.append(text.substr(from));
    return out;
}

std::string insertAtRandomPositions(std::string_view text, const std::vector<std::string>& words,
                                    bool htmlAware) {
    if (text.empty()) return {};
    int length = text::countChars(text);
    text::NoRepeatPicker picker;
    std::vector<int> positions;
    positions.reserve(words.size());
    for (std::size_t j = 0; j < words.size(); ++j) positions.push_back(picker.next(1, length));
    return insertAtCharPositions(text, positions, words, htmlAware);
}

namespace {

// k drawn entries, or one drawn entry k times.
std::vector<std::string> drawWords(TextPool& pool, int k, bool newEachTime) {
    std::vector<std::string> words;
    words.reserve(static_cast<std::size_t>(k));
    if (newEachTime) {
        for (int i = 0; i < k; ++i) words.push_back(pool.draw());
    } else {
        words.assign(static_cast<std::size_t>(k), pool.draw());
    }
    return words;
}

}  // namespace

void insertBodyKeywords(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools) {
    if (!site.bodyKeywordInsert || pools.bodyInsert.empty()) return;
    int k = insertionCount(site.bodyKeywordTimesMin, site.bodyKeywordTimesMax);
    draft.body = insertAtRandomPositions(draft.body,
                                         drawWords(pools.bodyInsert, k, site.bodyKeywordNewEachTime), true);
}

void insertTail(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools) {
    if (!site.tailKeywordInsert || pools.tailInsert.empty()) return;
    int k = insertionCount(site.tailKeywordTimesMin, site.tailKeywordTimesMax);
    std::string tail;
    for (const std::string& entry : drawWords(pools.tailInsert, k, site.tailKeywordNewEachTime)) {
        tail.append(entry).push_back(' ');
    }
    draft.body.append("<br>").append(tail);
}

void insertTitleKeyword(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools) {
    if (!site.titleKeywordInsert) return;
    int r = text::randomInt(1, 100);
    if (site.titleKeywordPercent < r || pools.titleInsert.empty()) return;
    const std::string& word = pools.titleInsert.draw();
    switch (site.titleKeywordPosition) {
        case kAfterTitle:
            draft.title = draft.title + site.titleKeywordSeparator + word;
            break;
        case kRandomPosition:
            draft.title = insertAtRandomPositions(draft.title, {word}, false);
            break;
        default:
            draft.title = word + site.titleKeywordSeparator + draft.title;
            break;
    }
}

void applyInsertions(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools) {
    insertBodyKeywords(draft, site, pools);
    insertTail(draft, site, pools);
    insertTitleKeyword(draft, site, pools);
}

}  // namespace oz::content
