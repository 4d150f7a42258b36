// Composing one 20,000-character article with every list mode drawing and all three insertions on,
// then drawing the submission fields: the per-article cost of a site worker.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "content/compose.h"
#include "content/insertion.h"
#include "content/submission_draws.h"
#include "text/characters.h"

namespace {

constexpr int kArticleChars = 20000;

// Paragraphs of dictionary words, punctuation, English words, links and pictures, cut to exactly
// kArticleChars characters.
std::string makeArticle() {
    const std::string& dictionary = oz::content::WordSegmenter::shared().dictionaryText();
    std::vector<std::string> words;
    for (std::size_t pos = 1; pos < dictionary.size() && words.size() < 5000;) {
        const std::size_t end = dictionary.find(' ', pos);
        words.push_back(dictionary.substr(pos, end - pos));
        pos = end + 1;
    }
    const std::vector<std::string> fillers = {"的",
                                              "，",
                                              "。",
                                              " the quick brown fox ",
                                              "<b>重点</b>",
                                              "<a href=\"http://example.com/a\">链接</a>",
                                              "<img src=\"/uploads/a.jpg\" alt=\"图\">",
                                              "&nbsp;"};
    std::mt19937 random(42);
    std::string text = "文章的第一行标题\r\n";
    while (oz::text::countChars(text) < kArticleChars) {
        for (int i = 0; i < 60; ++i) {
            text += random() % 4 == 0 ? fillers[random() % fillers.size()] : words[random() % words.size()];
        }
        text += "\r\n";
    }
    return oz::text::leftChars(text, kArticleChars);
}

oz::config::SiteConfig busySite() {
    oz::config::SiteConfig site;
    site.keywordMethod = oz::content::kAutoSegment;
    site.keywordCountMin = 3;
    site.keywordCountMax = 6;
    site.tagMethod = oz::content::kRandomPhrases;
    site.tagList = "标签一\r\n标签二\r\n标签三\r\n标签四";
    site.tagCountMin = 2;
    site.tagCountMax = 4;
    site.shortTitleMethod = oz::content::kFirstLine;
    site.authorList = "作者甲\r\n作者乙";
    site.categoryIds = "3,5,8";
    site.fileNameRule = oz::content::kTitleInitials;
    site.firstLineTitle = true;
    site.paragraphTags = true;
    site.summaryLengthMin = 100;
    site.summaryLengthMax = 200;
    site.viewCountMin = 50;
    site.viewCountMax = 150;
    site.flagHeadline = site.flagSlide = site.flagPicture = true;
    site.bodyKeywordInsert = true;
    site.bodyKeywordNewEachTime = true;
    site.bodyKeywordList = "<a href=\"http://a.example\">关键词一</a>\r\n关键词二\r\nkeyword three";
    site.bodyKeywordTimesMin = 3;
    site.bodyKeywordTimesMax = 6;
    site.tailKeywordInsert = true;
    site.tailKeywordList = "尾部一\r\n尾部二";
    site.tailKeywordTimesMin = 2;
    site.tailKeywordTimesMax = 3;
    site.titleKeywordInsert = true;
    site.titleKeywordList = "热门";
    site.titleKeywordPercent = 100;
    site.titleKeywordPosition = oz::content::kRandomPosition;
    return site;
}

void BM_ComposeArticleWithAllInsertions(benchmark::State& state) {
    const std::string article = makeArticle();
    const oz::config::SiteConfig site = busySite();
    oz::content::SitePools pools = oz::content::buildSitePools(site, oz::content::ListingMethod::Complete);
    const oz::content::WordSegmenter& segmenter = oz::content::WordSegmenter::shared();
    for (auto _ : state) {
        auto draft = oz::content::composeText(site, pools, "/articles/[#3#]文章.txt", article, segmenter);
        oz::content::applyInsertions(*draft, site, pools);
        oz::content::drawSubmissionFields(*draft, site);
        benchmark::DoNotOptimize(draft);
    }
}

void BM_InsertAtRandomPositions(benchmark::State& state) {
    const std::string article = makeArticle();
    const std::vector<std::string> words(static_cast<std::size_t>(state.range(0)), "关键词");
    for (auto _ : state) {
        benchmark::DoNotOptimize(oz::content::insertAtRandomPositions(article, words, true));
    }
}

BENCHMARK(BM_ComposeArticleWithAllInsertions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertAtRandomPositions)->Arg(5)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
