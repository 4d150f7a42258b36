// Article submissions per second against the stand-in back end: one site over one requester, and
// ten sites at once, each on its own thread with its own requester (as in independent mode).
// Each submission is the whole path: form building, percent-encoding, the POST, the answer test
// and the address record.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "backend/admin_session.h"
#include "backend/article_submission.h"
#include "backend/records.h"
#include "backend/run_settings.h"
#include "content/article_draft.h"
#include "content/site_pools.h"
#include "http/http_requester.h"
#include "testing/standin_server.h"

namespace {

using namespace oz;

constexpr int kSites = 10;

std::string sitePrefix(int index) {
    std::string prefix = std::to_string(index);
    prefix.insert(prefix.begin(), 'b');  // (operator+ here trips a false GCC 12 -Wrestrict warning)
    return prefix;
}

// One server for the whole program, with kSites UTF-8 sites; requests are not recorded.
struct BenchWorld {
    BenchWorld() : server(makeOptions()) {
        for (int i = 0; i < kSites; ++i) {
            testing::StandinSite site;
            site.prefix = sitePrefix(i);
            server.addSite(site);
        }
        server.start();
        dataDir = std::filesystem::temp_directory_path() /
                  ("oz-submission-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dataDir);
        records = std::make_unique<backend::AddressRecordTable>(dataDir);
    }
    ~BenchWorld() {
        server.stop();
        std::error_code ignored;
        std::filesystem::remove_all(dataDir, ignored);
    }
    static testing::StandinServerOptions makeOptions() {
        testing::StandinServerOptions options;
        options.recordRequests = false;
        return options;
    }

    testing::StandinServer server;
    std::filesystem::path dataDir;
    std::unique_ptr<backend::AddressRecordTable> records;
    backend::OptionsRunSettings settings;
};

BenchWorld& world() {
    static BenchWorld instance;
    return instance;
}

content::ArticleDraft benchDraft() {
    content::ArticleDraft draft;
    draft.title = "站群更新测试文章标题";
    draft.keywords = "关键词一,关键词二";
    draft.tags = "标签";
    draft.writer = "作者";
    draft.typeId = 3;
    std::string paragraph =
        "<p>这是一段用于测试发布速度的正文内容，包含中文、English words 和数字 2024。</p>\r\n";
    for (int i = 0; i < 40; ++i) draft.body += paragraph;  // about 4 KB of text
    return draft;
}

void submitLoop(benchmark::State& state, int siteIndex) {
    BenchWorld& bench = world();
    config::SiteConfig site;
    site.domain = bench.server.siteDomain(sitePrefix(siteIndex));
    site.user = "admin";
    site.password = "admin";
    site.summaryLengthMin = 100;
    site.summaryLengthMax = 200;
    http::HttpRequester requester;
    backend::AdminSession session{site, requester};
    backend::BackendContext context;
    context.settings = &bench.settings;
    context.dataDir = bench.dataDir;
    context.addressRecords = bench.records.get();
    if (!backend::login(session, context)) {
        state.SkipWithError("login to the stand-in failed");
        return;
    }
    content::SitePools pools;
    std::int64_t published = 0;
    for (auto _ : state) {
        content::ArticleDraft draft = benchDraft();
        if (!backend::submitArticle(session, context, draft, pools, siteIndex + 1)) {
            state.SkipWithError("submission failed");
            break;
        }
        ++published;
    }
    state.SetItemsProcessed(published);
}

void BM_SubmitOneRequester(benchmark::State& state) { submitLoop(state, 0); }
BENCHMARK(BM_SubmitOneRequester)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SubmitTenSitesAtOnce(benchmark::State& state) { submitLoop(state, state.thread_index()); }
BENCHMARK(BM_SubmitTenSitesAtOnce)->Threads(kSites)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
