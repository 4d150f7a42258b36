// Exactly-once publishing under spoiled answers: 100 sites x 10 articles, 10 at once, against a
// stand-in whose every tenth stored article per site is answered the way gateways and flaky hosts
// answer after the back end stored it (504, 500, garbage, a dropped connection, a kept-alive
// connection closed, an answer after the time-out), with 失败时重复尝试 on. Reports what the sites
// hold (articles, distinct titles, extra copies) against what the run counted.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "backend/run_settings.h"
#include "config/site_config.h"
#include "engine/publish_run.h"
#include "testing/standin_server.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSites = 100;
constexpr int kArticles = 10;

void BM_SpoiledAnswers100SitesX10Articles(benchmark::State& state) {
    using oz::testing::StoredAnswer;
    const StoredAnswer answers[] = {StoredAnswer::GatewayTimeout, StoredAnswer::ServerError,
                                    StoredAnswer::Garbage,        StoredAnswer::DropConnection,
                                    StoredAnswer::CloseKeptAlive, StoredAnswer::Late};
    const fs::path root = fs::temp_directory_path() / ("oz-spoiled-" + std::to_string(::getpid()));
    int stored = 0;
    int titles = 0;
    int counted = 0;
    int unknown = 0;
    double seconds = 0;
    for (auto _ : state) {
        fs::remove_all(root);
        oz::testing::StandinServerOptions serverOptions;
        serverOptions.threads = 64;
        oz::testing::StandinServer server(serverOptions);
        for (int i = 0; i < kSites; ++i) {
            oz::testing::StandinSite site;
            site.prefix = "p" + std::to_string(i);
            site.faults.storedAnswer = answers[i % std::size(answers)];
            site.faults.storedAnswerEvery = kArticles;  // one stored article in ten
            site.faults.lateAnswerMs = 2500;
            server.addSite(site);
        }
        server.start();
        std::vector<oz::config::SiteConfig> sites;
        for (int i = 0; i < kSites; ++i) {
            const fs::path folder = root / ("p" + std::to_string(i));
            fs::create_directories(folder);
            for (int n = 1; n <= kArticles; ++n) {
                std::ofstream(folder / ("a" + std::to_string(n) + ".txt"))
                    << "Title " << n << "\r\nBody " << n;
            }
            oz::config::SiteConfig site;
            site.enabled = true;
            site.domain = server.siteDomain("p" + std::to_string(i));
            site.user = site.password = "admin";
            site.adminDir = "dede";
            site.articleDir = folder.string();
            site.fileFilter = "*.txt";
            site.categoryIds = "1,2";
            sites.push_back(site);
        }
        oz::config::RunOptions options;
        options.simultaneousSites = "10";
        options.retryOnFailure = true;
        oz::backend::OptionsRunSettings settings(options);
        oz::engine::PublishRunSetup setup;
        setup.dataDir = root / "data";
        setup.settings = &settings;
        setup.backendLimits.maxAnswerSeconds = 1;
        oz::engine::PublishRun run(setup);
        oz::config::SiteList list;
        list.sites = sites;
        const auto start = std::chrono::steady_clock::now();
        run.startRun(list, oz::content::ListingMethod::Complete, false);
        run.wait();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const oz::engine::RunTotals totals = run.lastTotals().value_or(oz::engine::RunTotals{});
        stored = titles = 0;
        for (int i = 0; i < kSites; ++i) {
            std::map<std::string, int> copies;
            for (const auto& article : server.articles("p" + std::to_string(i))) ++copies[article.title];
            stored += static_cast<int>(server.articles("p" + std::to_string(i)).size());
            titles += static_cast<int>(copies.size());
        }
        counted = totals.totalUpdated;
        unknown = totals.unknownOutcome;
        server.stop();
    }
    fs::remove_all(root);
    state.counters["stored"] = stored;
    state.counters["distinct_titles"] = titles;
    state.counters["extra_copies"] = stored - titles;
    state.counters["counted"] = counted;
    state.counters["uncounted_stored"] = stored - counted;
    state.counters["unknown"] = unknown;
    state.counters["spoiled_answers"] = kSites;  // one per site
    state.counters["seconds"] = seconds;
}
BENCHMARK(BM_SpoiledAnswers100SitesX10Articles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
