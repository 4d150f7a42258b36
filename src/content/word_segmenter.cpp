#include "content/word_segmenter.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <unordered_set>
#include <utility>

#include "content/generated_data.h"
#include "text/characters.h"
#include "text/charset.h"
#include "text/cleaning.h"

namespace oz::content {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits a word list at white space, drops one-character entries, entries that are not valid UTF-8
// and repeats, and orders it longest first (stable, so equal lengths keep their given order).
std::vector<std::string> normalisedWords(std::string_view text) {
    std::vector<std::string> words;
    std::unordered_set<std::string_view> seen;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isSeparator(text[pos])) ++pos;
        std::size_t end = pos;
        while (end < text.size() && !isSeparator(text[end])) ++end;
        const std::string_view word = text.substr(pos, end - pos);
        if (!word.empty() && text::isValidUtf8(word) && text::countChars(word) >= 2 &&
            seen.insert(word).second) {
            words.emplace_back(word);
        }
        pos = end;
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return words;
}

// Walks the characters of a prepared text and collects the words that `longestAt` finds.
// `starts` holds the byte offset of every character and, last, the text's size.
// longestAt(k, minLength) returns the byte length of the word taken at character k (0 for none);
// minLength is the byte length of the one or two characters starting there, which the word must
// begin with.
template <typename LongestAt>
std::vector<std::string_view> walkText(std::string_view text, const std::vector<std::size_t>& starts,
                                       LongestAt&& longestAt) {
    std::vector<std::string_view> words;
    const std::size_t count = starts.size() - 1;
    std::size_t k = 0;
    while (k < count) {
        const std::size_t offset = starts[k];
        const std::size_t prefixEnd = starts[std::min(k + 2, count)];
        const std::size_t length = longestAt(k, prefixEnd - offset);
        if (length == 0) {
            ++k;
            continue;
        }
        words.push_back(text.substr(offset, length));
        const std::size_t next = offset + length;
        while (k < count && starts[k] < next) ++k;
    }
    return words;
}

// The characters of a text decoded once: where each starts (and, last, the text's size) and its
// code point. A byte outside any valid sequence gets kInvalid, which no word holds; CR LF is one
// character, read as CR.
struct DecodedText {
    static constexpr char32_t kInvalid = 0xFFFFFFFF;
    std::vector<std::size_t> starts;
    std::vector<char32_t> codePoints;

    explicit DecodedText(std::string_view text) {
        starts.reserve(text.size() + 1);
        codePoints.reserve(text.size());
        for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
            char32_t cp = text::codePointAt(text, at, &length);
            if (cp == 0xFFFD && length == 1) cp = kInvalid;
            if (cp == U'\r' && at + 1 < text.size() && text[at + 1] == '\n') length = 2;
            starts.push_back(at);
            codePoints.push_back(cp);
        }
        starts.push_back(text.size());
    }
};

}  // namespace

// A trie of the dictionary words by code point. The children of a node lie side by side, sorted by
// code point, with their code points in an array of their own, so that a search touches as little
// memory as possible. The children of the root are also found through a direct table for the code
// points up to the CJK ideographs, where nearly every lookup of an article starts and most of them
// end. A lookup walks the text once and remembers the longest word seen.
//
// The words are valid UTF-8 (the dictionary is normalised so), and the text is decoded strictly: a
// match by code points is then exactly a match by bytes, and an invalid byte in the text simply
// ends the walk.
struct WordSegmenter::Index {
    struct Node {
        std::uint32_t firstChild = 0;
        std::uint32_t childCount : 31 = 0;
        std::uint32_t isWord : 1 = 0;
    };
    static constexpr std::uint32_t kNone = 0;  // node 0 is the root, never anybody's child
    // The direct table covers the code points up to the end of the CJK Unified Ideographs, and
    // holds 16-bit node numbers (the root's children come first, so theirs are small): it stays
    // small enough to remain in the processor's cache between articles.
    static constexpr char32_t kDirectLimit = 0xA000;

    std::vector<Node> nodes;
    std::vector<char32_t> codePoints;       // per node: the code point that leads to it, searched alone
    std::vector<std::uint16_t> rootDirect;  // empty when the root has too many children for it

    explicit Index(const std::vector<std::string_view>& wordViews) {
        std::vector<std::u32string> words;
        words.reserve(wordViews.size());
        for (std::string_view view : wordViews) {
            std::u32string word;
            for (std::size_t at = 0, length = 0; at < view.size(); at += length) {
                word += text::codePointAt(view, at, &length);
            }
            words.push_back(std::move(word));
        }
        std::sort(words.begin(), words.end());
        words.erase(std::unique(words.begin(), words.end()), words.end());

        struct Pending {
            std::uint32_t node;
            std::size_t lo, hi, depth;
        };
        nodes.emplace_back();
        codePoints.push_back(0);
        std::deque<Pending> queue{{0, 0, words.size(), 0}};
        while (!queue.empty()) {
            Pending item = queue.front();
            queue.pop_front();
            std::size_t lo = item.lo;
            if (lo < item.hi && words[lo].size() == item.depth) {
                nodes[item.node].isWord = 1;
                ++lo;
            }
            nodes[item.node].firstChild = static_cast<std::uint32_t>(nodes.size());
            std::uint32_t children = 0;
            while (lo < item.hi) {
                const char32_t cp = words[lo][item.depth];
                std::size_t hi = lo;
                while (hi < item.hi && words[hi][item.depth] == cp) ++hi;
                const auto child = static_cast<std::uint32_t>(nodes.size());
                nodes.emplace_back();
                codePoints.push_back(cp);
                queue.push_back({child, lo, hi, item.depth + 1});
                ++children;
                lo = hi;
            }
            nodes[item.node].childCount = children;
        }

        if (nodes[0].childCount <= UINT16_MAX) {
            rootDirect.assign(kDirectLimit, static_cast<std::uint16_t>(kNone));
            for (std::uint32_t i = 1; i <= nodes[0].childCount; ++i) {
                if (codePoints[i] < kDirectLimit) rootDirect[codePoints[i]] = static_cast<std::uint16_t>(i);
            }
        }
    }

    std::uint32_t child(std::uint32_t node, char32_t cp) const {
        if (node == 0 && cp < kDirectLimit && !rootDirect.empty()) return rootDirect[cp];
        std::size_t count = nodes[node].childCount;
        if (count == 0) return kNone;
        // A binary search without branches on the comparison: the compiler turns the step into a
        // conditional move, which the text's unpredictable characters cannot mispredict.
        const char32_t* base = codePoints.data() + nodes[node].firstChild;
        while (count > 1) {
            const std::size_t half = count / 2;
            base = base[half] <= cp ? base + half : base;
            count -= half;
        }
        return *base == cp ? static_cast<std::uint32_t>(base - codePoints.data()) : kNone;
    }

    // Byte length of the longest word that starts at character k of the decoded text; 0 when
    // there is none.
    std::size_t longestAt(const DecodedText& text, std::size_t k) const {
        std::uint32_t node = 0;
        std::size_t best = 0;
        for (std::size_t j = k; j < text.codePoints.size(); ++j) {
            node = child(node, text.codePoints[j]);
            if (node == kNone) break;
            if (nodes[node].isWord != 0) best = text.starts[j + 1] - text.starts[k];
        }
        return best;
    }
};

WordSegmenter::WordSegmenter() : WordSegmenter(segmenterDictionary()) {}

WordSegmenter::WordSegmenter(std::string_view dictionaryText) {
    const std::vector<std::string> words = normalisedWords(dictionaryText);
    m_wordCount = words.size();
    m_dictionary = " ";
    for (const std::string& word : words) {
        m_dictionary += word;
        m_dictionary += ' ';
    }
    std::vector<std::string_view> views;
    views.reserve(words.size());
    std::size_t pos = 1;
    for (const std::string& word : words) {
        views.push_back(std::string_view(m_dictionary).substr(pos, word.size()));
        pos += word.size() + 1;
    }
    m_index = std::make_unique<Index>(views);
}

WordSegmenter::~WordSegmenter() = default;

const WordSegmenter& WordSegmenter::shared() {
    static const WordSegmenter instance;
    return instance;
}

std::string WordSegmenter::prepareText(std::string_view text) {
    return text::toLowerAscii(text::stripEntities(text::scanStripTags(text)));
}

std::vector<std::string_view> WordSegmenter::segment(std::string_view text) const {
    // Every dictionary word has at least two characters, so a word found is never shorter than
    // the one or two characters the walk asks for.
    const DecodedText decoded(text);
    return walkText(text, decoded.starts,
                    [&](std::size_t k, std::size_t) { return m_index->longestAt(decoded, k); });
}

// Looks up every position by searching the dictionary text from its start for the one or two
// characters there at a word start; the first word that fits is the longest, as the dictionary is
// ordered longest first.
std::vector<std::string_view> WordSegmenter::segmentDirect(std::string_view text) const {
    const std::string_view dictionary = m_dictionary;
    std::vector<std::size_t> starts = text::charStarts(text);
    starts.push_back(text.size());
    return walkText(text, starts, [&](std::size_t k, std::size_t prefixLength) -> std::size_t {
        const std::size_t offset = starts[k];
        const std::string_view prefix = text.substr(offset, prefixLength);
        for (std::size_t at = dictionary.find(prefix); at != std::string_view::npos;
             at = dictionary.find(prefix, at + 1)) {
            if (at == 0 || dictionary[at - 1] != ' ') continue;
            const std::size_t end = dictionary.find(' ', at);
            const std::string_view word = dictionary.substr(at, end - at);
            if (word.size() <= text.size() - offset && text.compare(offset, word.size(), word) == 0) {
                return word.size();
            }
        }
        return 0;
    });
}

std::string WordSegmenter::extractKeywords(std::string_view text, int n) const {
    if (n <= 0) return {};
    const std::string prepared = prepareText(text);
    return rankWords(segment(prepared), n);
}

std::string WordSegmenter::extractKeywordsDirect(std::string_view text, int n) const {
    if (n <= 0) return {};
    const std::string prepared = prepareText(text);
    return rankWords(segmentDirect(prepared), n);
}

const std::string& WordSegmenter::dictionaryText() const { return m_dictionary; }

std::size_t WordSegmenter::wordCount() const { return m_wordCount; }

std::vector<std::string_view> rankedWords(const std::vector<std::string_view>& words) {
    std::vector<std::pair<std::string_view, std::size_t>> counts;  // in order of first occurrence
    // An open-addressing table of indexes into `counts`, at most half full: an article has a few
    // thousand words, and a node-based map spends more time allocating than counting.
    std::size_t capacity = 16;
    while (capacity < words.size() * 2) capacity *= 2;
    constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);
    std::vector<std::size_t> slots(capacity, kEmpty);
    const std::hash<std::string_view> hash;
    for (std::string_view word : words) {
        std::size_t at = hash(word) & (capacity - 1);
        while (slots[at] != kEmpty && counts[slots[at]].first != word) at = (at + 1) & (capacity - 1);
        if (slots[at] == kEmpty) {
            slots[at] = counts.size();
            counts.emplace_back(word, 0);
        }
        ++counts[slots[at]].second;
    }
    std::stable_sort(counts.begin(), counts.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string_view> ranking;
    ranking.reserve(counts.size());
    for (const auto& entry : counts) ranking.push_back(entry.first);
    return ranking;
}

std::string firstWords(const std::vector<std::string_view>& ranking, int n) {
    std::string result;
    const std::size_t take = n <= 0 ? 0 : std::min(ranking.size(), static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < take; ++i) {
        if (i > 0) result += ',';
        result += ranking[i];
    }
    return result;
}

std::string rankWords(const std::vector<std::string_view>& words, int n) {
    if (n <= 0) return {};
    return firstWords(rankedWords(words), n);
}

std::string_view segmenterDictionary() {
    static const std::string text = [] {
        std::string joined;
        for (std::size_t i = 0; i < generated::kSegmenterDictionaryChunkCount; ++i) {
            joined += generated::kSegmenterDictionaryChunks[i];
        }
        return joined;
    }();
    return text;
}

}  // namespace oz::content
