#include "content/word_segmenter.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "content/generated_data.h"
#include "text/characters.h"
#include "text/cleaning.h"

namespace oz::content {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits a word list at white space, drops one-character entries and repeats, and orders it longest
// first (stable, so equal lengths keep their given order).
std::vector<std::string> normalisedWords(std::string_view text) {
    std::vector<std::string> words;
    std::unordered_set<std::string_view> seen;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && isSeparator(text[pos])) ++pos;
        std::size_t end = pos;
        while (end < text.size() && !isSeparator(text[end])) ++end;
        const std::string_view word = text.substr(pos, end - pos);
        if (!word.empty() && text::countChars(word) >= 2 && seen.insert(word).second) {
            words.emplace_back(word);
        }
        pos = end;
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return words;
}

// Walks the characters of a prepared text and collects the words that `longestAt` finds.
// longestAt(offset, minLength) returns the byte length of the word taken at `offset` (0 for none);
// minLength is the byte length of the one or two characters starting there, which the word must
// begin with.
template <typename LongestAt>
std::vector<std::string_view> walkText(std::string_view text, LongestAt&& longestAt) {
    std::vector<std::string_view> words;
    const std::vector<std::size_t> starts = text::charStarts(text);
    const std::size_t count = starts.size();
    std::size_t k = 0;
    while (k < count) {
        const std::size_t offset = starts[k];
        const std::size_t prefixEnd = k + 2 < count ? starts[k + 2] : text.size();
        const std::size_t length = longestAt(offset, prefixEnd - offset);
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

}  // namespace

// A byte trie of the dictionary words. The children of a node lie side by side, sorted by byte, so a
// lookup walks the text once and remembers the longest word seen.
struct WordSegmenter::Index {
    struct Node {
        std::uint32_t firstChild = 0;
        std::uint16_t childCount = 0;
        unsigned char byte = 0;
        bool isWord = false;
    };
    std::vector<Node> nodes;

    explicit Index(std::vector<std::string_view> words) {
        std::sort(words.begin(), words.end());
        words.erase(std::unique(words.begin(), words.end()), words.end());
        struct Pending {
            std::uint32_t node;
            std::size_t lo, hi, depth;
        };
        nodes.emplace_back();
        std::deque<Pending> queue{{0, 0, words.size(), 0}};
        while (!queue.empty()) {
            Pending item = queue.front();
            queue.pop_front();
            std::size_t lo = item.lo;
            if (lo < item.hi && words[lo].size() == item.depth) {
                nodes[item.node].isWord = true;
                ++lo;
            }
            nodes[item.node].firstChild = static_cast<std::uint32_t>(nodes.size());
            std::uint16_t children = 0;
            while (lo < item.hi) {
                const auto byte = static_cast<unsigned char>(words[lo][item.depth]);
                std::size_t hi = lo;
                while (hi < item.hi && static_cast<unsigned char>(words[hi][item.depth]) == byte) ++hi;
                Node child;
                child.byte = byte;
                queue.push_back({static_cast<std::uint32_t>(nodes.size()), lo, hi, item.depth + 1});
                nodes.push_back(child);
                ++children;
                lo = hi;
            }
            nodes[item.node].childCount = children;
        }
    }

    const Node* child(const Node& node, unsigned char byte) const {
        const Node* first = nodes.data() + node.firstChild;
        const Node* last = first + node.childCount;
        const Node* found =
            std::lower_bound(first, last, byte, [](const Node& n, unsigned char b) { return n.byte < b; });
        return found != last && found->byte == byte ? found : nullptr;
    }

    // Byte length of the longest word that starts the text at `offset` and is at least minLength
    // bytes long; 0 when there is none.
    std::size_t longestAt(std::string_view text, std::size_t offset, std::size_t minLength) const {
        const Node* node = nodes.data();
        std::size_t best = 0;
        for (std::size_t depth = 0; offset + depth < text.size(); ++depth) {
            node = child(*node, static_cast<unsigned char>(text[offset + depth]));
            if (node == nullptr) break;
            if (node->isWord && depth + 1 >= minLength) best = depth + 1;
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
    m_index = std::make_unique<Index>(std::move(views));
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
    return walkText(text, [&](std::size_t offset, std::size_t minLength) {
        return m_index->longestAt(text, offset, minLength);
    });
}

// Looks up every position by searching the dictionary text from its start for the one or two
// characters there at a word start; the first word that fits is the longest, as the dictionary is
// ordered longest first.
std::vector<std::string_view> WordSegmenter::segmentDirect(std::string_view text) const {
    const std::string_view dictionary = m_dictionary;
    return walkText(text, [&](std::size_t offset, std::size_t prefixLength) -> std::size_t {
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

std::string rankWords(const std::vector<std::string_view>& words, int n) {
    if (n <= 0) return {};
    std::vector<std::pair<std::string_view, std::size_t>> ranking;  // in order of first occurrence
    std::unordered_map<std::string_view, std::size_t> slot;
    for (std::string_view word : words) {
        auto [it, added] = slot.try_emplace(word, ranking.size());
        if (added) ranking.emplace_back(word, 0);
        ++ranking[it->second].second;
    }
    std::stable_sort(ranking.begin(), ranking.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string result;
    const std::size_t take = std::min(ranking.size(), static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < take; ++i) {
        if (i > 0) result += ',';
        result += ranking[i].first;
    }
    return result;
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
