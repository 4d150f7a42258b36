// Regeneration on categories of real size: one site publishes 20 articles into a small category (one
// list page) or a large one (200 list pages, made 50 a request), in 刷新HTML类型 1 (the lists at the
// end) and 2 (after each article). Every list page costs the stand-in 1 ms, as rendering costs a
// host. Reports the requests and the list-action requests per article, the time per article and
// the list-action requests that repeated the one before within one regeneration (a chunk asked for
// twice).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "backend/run_settings.h"
#include "config/site_config.h"
#include "engine/publish_run.h"
#include "testing/standin_server.h"

namespace {

namespace fs = std::filesystem;

constexpr int kArticles = 20;

void BM_RegenerationPerArticle(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int listPages = static_cast<int>(state.range(1));
    const fs::path root = fs::temp_directory_path() / ("oz-regeneration-" + std::to_string(::getpid()));
    double requests = 0;
    double listRequests = 0;
    double repeated = 0;
    double seconds = 0;
    for (auto _ : state) {
        fs::remove_all(root);
        oz::testing::StandinServer server;
        oz::testing::StandinSite standin;
        standin.categories[1].listPages = listPages;  // 技术文章
        standin.faults.listPageMicros = 1000;
        server.addSite(standin);
        server.start();
        const fs::path folder = root / "articles";
        fs::create_directories(folder);
        for (int n = 1; n <= kArticles; ++n) {
            std::ofstream(folder / ("a" + std::to_string(n) + ".txt")) << "Title " << n << "\r\nBody " << n;
        }
        oz::config::SiteConfig site;
        site.enabled = true;
        site.domain = server.siteDomain("s1");
        site.user = site.password = "admin";
        site.articleDir = folder.string();
        site.fileFilter = "*.txt";
        site.categoryIds = "2";
        site.refreshHtmlMode = mode;
        oz::backend::OptionsRunSettings settings;
        oz::engine::PublishRunSetup setup;
        setup.dataDir = root / "data";
        setup.settings = &settings;
        oz::engine::PublishRun run(setup);
        oz::config::SiteList list;
        list.sites = {site};
        server.clearRequests();
        const auto start = std::chrono::steady_clock::now();
        run.startRun(list, oz::content::ListingMethod::Complete, false);
        run.wait();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        requests = listRequests = repeated = 0;
        std::string previous;
        for (const auto& request : server.requests("s1")) {
            ++requests;
            if (request.path.find("makehtml_list_action.php") == std::string::npos) {
                previous.clear();  // a regeneration's chain is over
                continue;
            }
            ++listRequests;
            if (request.query == previous) ++repeated;
            previous = request.query;
        }
        server.stop();
    }
    fs::remove_all(root);
    state.counters["requests_per_article"] = requests / kArticles;
    state.counters["list_requests_per_article"] = listRequests / kArticles;
    state.counters["ms_per_article"] = 1000 * seconds / kArticles;
    state.counters["chunks_asked_twice"] = repeated;
}
BENCHMARK(BM_RegenerationPerArticle)
    ->ArgNames({"mode", "list_pages"})
    ->ArgsProduct({{1, 2}, {1, 200}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
