// Keyword extraction from a 20,000-character Chinese article: the word index against the direct scan
// of the dictionary text, and the one-time cost of building the segmenter.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "content/word_segmenter.h"
#include "text/characters.h"

namespace {

constexpr int kArticleChars = 20000;

// Dictionary words mixed with common single characters, punctuation, a few Latin words, digits and
// paragraph tags, cut to exactly kArticleChars characters.
std::string makeArticle() {
    const std::string& dictionary = oz::content::WordSegmenter::shared().dictionaryText();
    std::vector<std::string> words;
    for (std::size_t pos = 1; pos < dictionary.size();) {
        const std::size_t end = dictionary.find(' ', pos);
        words.push_back(dictionary.substr(pos, end - pos));
        pos = end + 1;
    }
    const std::vector<std::string> fillers = {"的", "了", "是", "在",  "和",   "，",  "。",
                                              "、", "“",  "”",  "SEO", "2024", "<p>", "</p>\r\n"};
    std::mt19937 random(42);
    std::string text;
    while (oz::text::countChars(text) < kArticleChars) {
        for (int i = 0; i < 200; ++i) {
            text += random() % 3 == 0 ? fillers[random() % fillers.size()] : words[random() % words.size()];
        }
    }
    return oz::text::leftChars(text, kArticleChars);
}

const std::string& article() {
    static const std::string text = makeArticle();
    return text;
}

void BM_ExtractKeywordsIndex(benchmark::State& state) {
    const auto& segmenter = oz::content::WordSegmenter::shared();
    for (auto _ : state) benchmark::DoNotOptimize(segmenter.extractKeywords(article(), 5));
    state.SetLabel(std::to_string(oz::text::countChars(article())) + " characters");
}
BENCHMARK(BM_ExtractKeywordsIndex)->Unit(benchmark::kMillisecond);

void BM_ExtractKeywordsDirectScan(benchmark::State& state) {
    const auto& segmenter = oz::content::WordSegmenter::shared();
    for (auto _ : state) benchmark::DoNotOptimize(segmenter.extractKeywordsDirect(article(), 5));
    state.SetLabel(std::to_string(oz::text::countChars(article())) + " characters");
}
BENCHMARK(BM_ExtractKeywordsDirectScan)->Unit(benchmark::kMillisecond);

void BM_BuildSegmenter(benchmark::State& state) {
    for (auto _ : state) {
        oz::content::WordSegmenter segmenter;
        benchmark::DoNotOptimize(segmenter.wordCount());
    }
}
BENCHMARK(BM_BuildSegmenter)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
