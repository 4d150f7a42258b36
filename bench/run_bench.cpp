// Publishing runs against the stand-in back end on loopback: 100 sites x 20 articles with 10 sites
// at once (articles per second, the program's CPU per article, peak memory, and the rate of bare
// article POSTs the same stand-in sustains), and 1,000 one-article sites with 10 at once (the time
// the launcher adds per site). The stand-in runs in a child process, so the CPU and memory figures
// are the program's own; its own CPU per article is read from /proc. Each site has a host name of
// its own, as real sites do. With real latency: 100 sites x 10 articles at 10 and 50 sites at once
// against a second stand-in whose every answer waits 100 ms, wall time against the ideal (the
// requests the stand-in saw x 100 ms, spread over the sites at once).

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <latch>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "backend/admin_session.h"
#include "backend/article_form.h"
#include "backend/run_settings.h"
#include "config/site_config.h"
#include "content/compose.h"
#include "engine/publish_run.h"
#include "http/http_requester.h"
#include "testing/standin_server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSites = 100;
constexpr int kArticlesPerSite = 20;
constexpr int kAtOnce = 10;
constexpr int kLauncherSites = 1000;

int g_port = 0;  // the stand-in child's loopback port
pid_t g_standin = 0;
fs::path g_root;  // temporary folder: article folders and data folders

constexpr int kLatencySites = 100;
constexpr int kLatencyArticles = 10;
constexpr int kLatencyDelayMs = 100;
int g_latencyPort = 0;
int g_latencyAsk = -1;     // write 'c' for the request count (then 'z' clears it)
int g_latencyAnswer = -1;  // the count comes back here

// The stand-in with a delay on every answer, in a child process with sites "d1".."d100".
void startLatencyStandinProcess() {
    int ready[2];
    int ask[2];
    if (pipe(ready) != 0 || pipe(ask) != 0) std::abort();
    if (fork() == 0) {
        close(ready[0]);
        close(ask[1]);
        oz::testing::StandinServerOptions options;
        options.recordRequests = false;
        options.answerDelayMs = kLatencyDelayMs;
        options.threads = 200;  // every open keep-alive connection holds one
        oz::testing::StandinServer server(options);
        for (int i = 1; i <= kLatencySites; ++i) {
            oz::testing::StandinSite site;
            site.prefix = "d" + std::to_string(i);
            server.addSite(site);
        }
        const int port = server.start() ? server.port() : 0;
        (void)!write(ready[1], &port, sizeof port);
        char byte;
        while (read(ask[0], &byte, 1) > 0) {
            if (byte == 'c') {
                const std::size_t count = server.requestCount();
                (void)!write(ready[1], &count, sizeof count);
            } else if (byte == 'z') {
                server.clearRequests();
            }
        }
        server.stop();
        _exit(0);
    }
    close(ready[1]);
    close(ask[0]);
    int port = 0;
    if (read(ready[0], &port, sizeof port) != sizeof port || port == 0) {
        std::fprintf(stderr, "the latency stand-in did not start\n");
        std::exit(1);
    }
    g_latencyPort = port;
    g_latencyAsk = ask[1];
    g_latencyAnswer = ready[0];
}

std::size_t latencyRequestCount(bool clear) {
    std::size_t count = 0;
    (void)!write(g_latencyAsk, "c", 1);
    if (read(g_latencyAnswer, &count, sizeof count) != sizeof count) return 0;
    if (clear) (void)!write(g_latencyAsk, "z", 1);
    return count;
}

// The stand-in back end in a child process with sites "b1".."b100" and "l1".."l1000".
void startStandinProcess() {
    int ready[2];
    int hold[2];
    if (pipe(ready) != 0 || pipe(hold) != 0) std::abort();
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        close(hold[1]);
        oz::testing::StandinServerOptions options;
        options.recordRequests = false;
        options.threads = 48;
        oz::testing::StandinServer server(options);
        for (int i = 1; i <= kSites; ++i) {
            oz::testing::StandinSite site;
            site.prefix = "b" + std::to_string(i);
            server.addSite(site);
        }
        for (int i = 1; i <= kLauncherSites; ++i) {
            oz::testing::StandinSite site;
            site.prefix = "l" + std::to_string(i);
            server.addSite(site);
        }
        const int port = server.start() ? server.port() : 0;
        (void)!write(ready[1], &port, sizeof port);
        char byte;
        while (read(hold[0], &byte, 1) > 0) {
        }
        server.stop();
        _exit(0);
    }
    g_standin = child;
    close(ready[1]);
    close(hold[0]);  // hold[1] stays open until this process ends; then the child ends too
    int port = 0;
    if (read(ready[0], &port, sizeof port) != sizeof port || port == 0) {
        std::fprintf(stderr, "the stand-in did not start\n");
        std::exit(1);
    }
    g_port = port;
}

// An article of about 2,000 characters: sentences of ordinary Chinese prose in paragraphs.
std::string articleText(int n) {
    const std::string sentence =
        "站群更新工具把本地文件夹里的文章发布到多个网站的后台，每篇文章在发布时会自动加上关键词、标签和摘要"
        "。";
    std::string text;
    for (int p = 0; p < 8; ++p) {
        for (int s = 0; s < 5; ++s) text += sentence;
        text += "第" + std::to_string(n) + "篇的第" + std::to_string(p + 1) + "段。\r\n";
    }
    return text;
}

fs::path articleFolder(const std::string& name, int count) {
    const fs::path folder = g_root / name;
    fs::create_directories(folder);
    for (int n = 1; n <= count; ++n) {
        std::ofstream(folder / ("article" + std::to_string(n) + ".txt"), std::ios::binary) << articleText(n);
    }
    return folder;
}

// A newly added site's settings (keywords from the title, tags and short titles by word
// segmentation); `light` draws tags and short titles from lists instead.
oz::config::SiteConfig benchSite(const std::string& prefix, const fs::path& folder, bool light = false,
                                 int port = g_port) {
    oz::config::SiteConfig site = oz::config::initialSiteConfig();
    if (light) {
        site.tagMethod = oz::content::kRandomPhrases;
        site.tagList = "站群\r\n发布\r\n工具";
        site.shortTitleMethod = oz::content::kRandomPhrases;
        site.shortTitleList = "简短标题一\r\n简短标题二";
    }
    // Each site gets its own host name, as real sites have: libcurl resolves every
    // "*.localhost" name to the loopback address itself, and keeps each host's cookies apart.
    site.domain = prefix + ".localhost:" + std::to_string(port) + "/" + prefix;
    site.user = "admin";
    site.password = "admin";
    site.categoryIds = "1,2,3";
    site.articleDir = folder.string();
    site.intervalMin = 0;
    site.intervalMax = 0;
    return site;
}

struct Usage {
    double cpuMs = 0;
    long peakKb = 0;
};

Usage usageNow() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return {ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_maxrss};
}

// CPU milliseconds the stand-in child has used so far (utime + stime of /proc/PID/stat).
double standinCpuMs() {
    std::ifstream stat("/proc/" + std::to_string(g_standin) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stod(field);
        if (i == 15) break;
    }
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Bare article POSTs: kAtOnce threads, each logged in to its own site, posting one prepared form,
// each on a connection of its own as the program posts articles (so that no article is ever sent
// twice). Only the posting is timed.
double barePostsPerSecond(int total) {
    const fs::path folder = articleFolder("bare", 1);
    std::atomic<int> stored{0};
    std::latch ready(kAtOnce);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kAtOnce; ++t) {
        threads.emplace_back([&, t] {
            oz::config::SiteConfig site = benchSite("b" + std::to_string(kSites - t), folder);
            oz::backend::OptionsRunSettings settings;
            oz::backend::BackendContext context;
            context.settings = &settings;
            oz::http::HttpRequester requester;
            oz::backend::AdminSession session{site, requester};
            std::string body;
            if (oz::backend::login(session, context)) {
                oz::content::SitePools pools =
                    oz::content::buildSitePools(site, oz::content::ListingMethod::Complete);
                if (auto draft = oz::content::compose(site, pools, (folder / "article1.txt").string())) {
                    body = oz::backend::formBody(oz::backend::buildArticleForm(*draft, site, context), true);
                }
            }
            ready.count_down();
            go.wait(false);
            if (body.empty()) return;
            const std::string url = oz::backend::backEndBaseUrl(site) + "/article_add.php";
            for (int i = 0; i < total / kAtOnce; ++i) {
                const std::string answer =
                    oz::backend::requestPage(session, context, url, body, 2, 0, /*sendOnce=*/true).text;
                if (answer.find("<u>查看文章</u>") != std::string::npos) ++stored;
            }
        });
    }
    ready.wait();
    const auto start = Clock::now();
    go = true;
    go.notify_all();
    for (auto& thread : threads) thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return stored.load() / seconds;
}

// Notes when each site begins (its first log line) and finishes.
class SiteTimes final : public oz::engine::RunObserver {
   public:
    void logLine(const oz::engine::LogEntry& entry) override {
        if (entry.siteIndex <= 0) return;
        std::lock_guard lock(m_mutex);
        m_begin.try_emplace(entry.siteIndex, Clock::now());
    }
    void siteFinished(int siteIndex) override {
        std::lock_guard lock(m_mutex);
        m_end[siteIndex] = Clock::now();
    }
    // The longest of the sites' own durations in seconds: a stall (a lost connection attempt
    // waits a whole second) shows here first.
    double slowestSiteSeconds() const {
        std::lock_guard lock(m_mutex);
        double slowest = 0;
        for (const auto& [index, begin] : m_begin) {
            auto end = m_end.find(index);
            if (end != m_end.end())
                slowest = std::max(slowest, std::chrono::duration<double>(end->second - begin).count());
        }
        return slowest;
    }
    // The sum of the sites' own durations in seconds.
    double siteSeconds() const {
        std::lock_guard lock(m_mutex);
        double sum = 0;
        for (const auto& [index, begin] : m_begin) {
            auto end = m_end.find(index);
            if (end != m_end.end()) sum += std::chrono::duration<double>(end->second - begin).count();
        }
        return sum;
    }

   private:
    mutable std::mutex m_mutex;
    std::map<int, Clock::time_point> m_begin;
    std::map<int, Clock::time_point> m_end;
};

oz::engine::RunTotals publish(const std::vector<oz::config::SiteConfig>& sites,
                              oz::engine::RunObserver* observer, const fs::path& dataDir,
                              int atOnce = kAtOnce) {
    oz::config::RunOptions options;
    options.simultaneousSites = std::to_string(atOnce);
    oz::backend::OptionsRunSettings settings(options);
    oz::engine::PublishRunSetup setup;
    setup.dataDir = dataDir;
    setup.settings = &settings;
    setup.observer = observer;
    oz::engine::PublishRun run(setup);
    oz::config::SiteList list;
    list.sites = sites;
    run.startRun(list, oz::content::ListingMethod::Complete, false);
    run.wait();
    return run.lastTotals().value_or(oz::engine::RunTotals{});
}

void BM_Run100SitesX20Articles(benchmark::State& state) {
    const fs::path folder = articleFolder("articles20", kArticlesPerSite);
    std::vector<oz::config::SiteConfig> sites;
    for (int i = 1; i <= kSites; ++i)
        sites.push_back(benchSite("b" + std::to_string(i), folder, state.range(0) == 1));
    double bare = 0;
    double rate = 0;
    double cpuPerArticle = 0;
    double standinPerArticle = 0;
    double slowestSiteMs = 0;
    double standinPerBarePost = 0;
    int published = 0;
    for (auto _ : state) {
        // The bare rate is taken before and after the run and averaged, so a change in the
        // machine's load during the benchmark weighs on both figures alike.
        const double standinBeforeBare = standinCpuMs();
        const double bareBefore = barePostsPerSecond(kSites * kArticlesPerSite);
        standinPerBarePost = (standinCpuMs() - standinBeforeBare) / (kSites * kArticlesPerSite);
        const Usage before = usageNow();
        const double standinBefore = standinCpuMs();
        const auto start = Clock::now();
        SiteTimes times;
        const oz::engine::RunTotals totals = publish(sites, &times, g_root / "data100");
        slowestSiteMs = times.slowestSiteSeconds() * 1000.0;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const Usage after = usageNow();
        standinPerArticle = (standinCpuMs() - standinBefore) / std::max(totals.totalUpdated, 1);
        bare = (bareBefore + barePostsPerSecond(kSites * kArticlesPerSite)) / 2;
        published = totals.totalUpdated;
        rate = published / seconds;
        cpuPerArticle = published > 0 ? (after.cpuMs - before.cpuMs) / published : 0;
    }
    state.counters["articles"] = published;
    state.counters["articles_per_s"] = rate;
    state.counters["bare_posts_per_s"] = bare;
    state.counters["rate_vs_bare"] = bare > 0 ? rate / bare : 0;
    state.counters["cpu_ms_per_article"] = cpuPerArticle;
    state.counters["standin_cpu_ms_per_article"] = standinPerArticle;
    state.counters["slowest_site_ms"] = slowestSiteMs;
    state.counters["standin_cpu_ms_per_bare_post"] = standinPerBarePost;
    state.counters["peak_MB"] = usageNow().peakKb / 1024.0;
}
// Argument 0: a newly added site's settings; 1: tags and short titles from lists.
BENCHMARK(BM_Run100SitesX20Articles)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Launch1000Sites(benchmark::State& state) {
    const fs::path folder = articleFolder("articles1", 1);
    std::vector<oz::config::SiteConfig> sites;
    for (int i = 1; i <= kLauncherSites; ++i) sites.push_back(benchSite("l" + std::to_string(i), folder));
    double overheadMs = 0;
    double wall = 0;
    double own = 0;
    for (auto _ : state) {
        SiteTimes times;
        const auto start = Clock::now();
        publish(sites, &times, g_root / "data1000");
        wall = std::chrono::duration<double>(Clock::now() - start).count();
        own = times.siteSeconds();
        // The slot time no site used, per site launched.
        overheadMs = (wall * kAtOnce - own) / kLauncherSites * 1000.0;
    }
    state.counters["wall_s"] = wall;
    state.counters["site_own_s_total"] = own;
    state.counters["launcher_ms_per_site"] = overheadMs;
}
BENCHMARK(BM_Launch1000Sites)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// Argument: 同时站点数.
void BM_Run100SitesX10ArticlesWithLatency(benchmark::State& state) {
    const int atOnce = static_cast<int>(state.range(0));
    const fs::path folder = articleFolder("articles10", kLatencyArticles);
    std::vector<oz::config::SiteConfig> sites;
    for (int i = 1; i <= kLatencySites; ++i)
        sites.push_back(benchSite("d" + std::to_string(i), folder, false, g_latencyPort));
    double wall = 0;
    double ideal = 0;
    std::size_t requests = 0;
    int published = 0;
    for (auto _ : state) {
        latencyRequestCount(true);
        SiteTimes times;
        const auto start = Clock::now();
        const oz::engine::RunTotals totals =
            publish(sites, &times, g_root / ("data-latency" + std::to_string(atOnce)), atOnce);
        wall = std::chrono::duration<double>(Clock::now() - start).count();
        requests = latencyRequestCount(false);
        ideal = static_cast<double>(requests) * kLatencyDelayMs / 1000.0 / atOnce;
        published = totals.totalUpdated;
    }
    state.counters["articles"] = published;
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["wall_s"] = wall;
    state.counters["ideal_s"] = ideal;
    state.counters["ideal_vs_wall"] = wall > 0 ? ideal / wall : 0;
}
BENCHMARK(BM_Run100SitesX10ArticlesWithLatency)
    ->Arg(10)
    ->Arg(50)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    startStandinProcess();  // before any thread exists
    startLatencyStandinProcess();
    std::string pattern = (fs::temp_directory_path() / "oz-run-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    g_root = pattern;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(g_root, ignored);
    return 0;
}
