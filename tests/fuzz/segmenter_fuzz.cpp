// The word segmenter (content/word_segmenter.h), checked against its direct scan of the
// dictionary text. Input: a flags byte, then either the article (flags even: the built-in
// dictionary) or a dictionary line, LF, and the article (flags odd). Checks: the indexed search
// finds the very words, at the very places, that the direct scan finds, and the keywords agree; a
// dictionary is normalised to " word word ... word ", longest first, each word valid UTF-8 of two
// characters or more and listed once.

#include <set>

#include "content/word_segmenter.h"
#include "fuzz_support.h"
#include "text/characters.h"
#include "text/charset.h"

namespace {

namespace content = oz::content;

// The direct scan reads the whole dictionary for every character: articles for the built-in one
// are cut to this many bytes.
constexpr std::size_t kBuiltInArticleLimit = 160;

void checkDictionary(const content::WordSegmenter& segmenter) {
    const std::string& dictionary = segmenter.dictionaryText();
    OZ_FUZZ_CHECK(dictionary.starts_with(' ') && dictionary.ends_with(' '));
    std::set<std::string_view> seen;
    std::size_t previousLength = std::string::npos;
    for (std::size_t at = 1; at < dictionary.size();) {
        const std::size_t end = dictionary.find(' ', at);
        const std::string_view word = std::string_view(dictionary).substr(at, end - at);
        OZ_FUZZ_CHECK(!word.empty());
        OZ_FUZZ_CHECK(oz::text::isValidUtf8(word));
        OZ_FUZZ_CHECK(oz::text::countChars(word) >= 2);
        OZ_FUZZ_CHECK(word.find_first_of("\t\r\n") == std::string_view::npos);
        OZ_FUZZ_CHECK(word.size() <= previousLength);
        OZ_FUZZ_CHECK(seen.insert(word).second);
        previousLength = word.size();
        at = end + 1;
    }
    OZ_FUZZ_CHECK_EQ(seen.size(), segmenter.wordCount());
}

void checkAgainstDirectScan(const content::WordSegmenter& segmenter, std::string_view article) {
    const std::string prepared = content::WordSegmenter::prepareText(article);
    const std::vector<std::string_view> indexed = segmenter.segment(prepared);
    const std::vector<std::string_view> direct = segmenter.segmentDirect(prepared);
    OZ_FUZZ_CHECK_EQ(indexed.size(), direct.size());
    for (std::size_t i = 0; i < indexed.size(); ++i) {
        OZ_FUZZ_CHECK_EQ(indexed[i], direct[i]);
        OZ_FUZZ_CHECK(indexed[i].data() == direct[i].data());  // the same place in the text
    }
    OZ_FUZZ_CHECK_EQ(segmenter.extractKeywords(article, 5), segmenter.extractKeywordsDirect(article, 5));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input = oz::fuzz::asText(data + 1, size - 1);
    if (data[0] % 2 == 0) {
        static const content::WordSegmenter& builtIn = content::WordSegmenter::shared();
        checkAgainstDirectScan(builtIn, input.substr(0, kBuiltInArticleLimit));
        return 0;
    }
    const std::size_t lineEnd = input.find('\n');
    const std::string_view dictionary = input.substr(0, lineEnd);
    const std::string_view article =
        lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1);
    const content::WordSegmenter segmenter(dictionary);
    checkDictionary(segmenter);
    checkAgainstDirectScan(segmenter, article);
    return 0;
}
