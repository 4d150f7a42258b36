#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace oz::content {

// Finds the most frequent dictionary words of an article (the "自动分词" keyword mode).
//
// The dictionary is a word list: UTF-8 words separated by single spaces, with a space before the first
// and after the last, ordered by length in bytes, longest first. The constructor normalises any list it
// is given to that form (duplicates and one-character entries dropped, stable longest-first order), so
// the longest word always wins and a single character is never a word. Entries that are not valid UTF-8
// are dropped too.
//
// A WordSegmenter is immutable after construction: any number of threads may call it at once.
class WordSegmenter {
   public:
    // Uses the built-in dictionary (about 40,000 common words).
    WordSegmenter();
    explicit WordSegmenter(std::string_view dictionaryText);
    ~WordSegmenter();
    WordSegmenter(const WordSegmenter&) = delete;
    WordSegmenter& operator=(const WordSegmenter&) = delete;

    // The program's one instance with the built-in dictionary, built on first use.
    static const WordSegmenter& shared();

    // The n most frequent dictionary words of the text joined by ","; ties keep the order of first
    // occurrence. Tags and entities are removed and ASCII letters lower-cased first. Empty for n <= 0.
    std::string extractKeywords(std::string_view text, int n) const;

    // The same result, found by scanning the dictionary text for every character of the article
    // instead of using the index. Kept as the reference for tests and the benchmark.
    std::string extractKeywordsDirect(std::string_view text, int n) const;

    // The dictionary words of the prepared text in reading order (longest word first at each position).
    // `text` must already be cleaned and lower-cased; see prepareText.
    std::vector<std::string_view> segment(std::string_view text) const;
    std::vector<std::string_view> segmentDirect(std::string_view text) const;

    // Tags and entities removed, ASCII letters lower-cased: the text the words are looked up in.
    static std::string prepareText(std::string_view text);

    // The normalised dictionary: " word word ... word ".
    const std::string& dictionaryText() const;
    std::size_t wordCount() const;

   private:
    struct Index;
    std::string m_dictionary;
    std::size_t m_wordCount = 0;
    std::unique_ptr<Index> m_index;
};

// The distinct words ranked by count, most frequent first; equal counts keep the order of first
// occurrence.
std::vector<std::string_view> rankedWords(const std::vector<std::string_view>& words);
// The first n of a ranking joined by "," (all of them when there are fewer; empty for n <= 0).
std::string firstWords(const std::vector<std::string_view>& ranking, int n);
// firstWords(rankedWords(words), n).
std::string rankWords(const std::vector<std::string_view>& words, int n);

// The built-in dictionary text, " word word ... word ", longest first (generated data).
std::string_view segmenterDictionary();

}  // namespace oz::content
