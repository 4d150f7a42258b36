// Saving and loading a large site list: 1,000 sites, every key filled, a 10 KB keyword list each.
// Targets: the global save under 1 s, the load under 0.5 s.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "config/settings_file.h"
#include "config/site_list_store.h"

namespace {

namespace fs = std::filesystem;
using namespace oz::config;

constexpr int kSites = 1000;

std::string keywordList() {
    std::string list;
    for (int i = 0; list.size() < 10 * 1024; ++i) {
        if (!list.empty()) list += "\r\n";
        list += "关键词" + std::to_string(i);
    }
    return list;
}

SiteList bigSiteList() {
    SiteList list;
    const std::string keywords = keywordList();
    for (int i = 0; i < kSites; ++i) {
        SiteConfig site = initialSiteConfig();
        site.domain = "www.site" + std::to_string(i) + ".com";
        site.user = "编辑" + std::to_string(i);
        site.password = "pw" + std::to_string(i);
        site.keywordList = keywords;
        site.tagList = "标签一\r\n标签二\r\n标签三";
        site.shortTitleList = "短标题一\r\n短标题二";
        site.authorList = "佚名\r\n小编";
        site.bodyKeywordList = "<a href=''http://www.site.com/''>站点</a>\r\n黄山";
        site.tailKeywordList = "D:\\块\\一.txt\r\nD:\\块";
        site.titleKeywordList = "旅游\r\n攻略";
        site.categoryTree = std::string(2048, '\x7F') + std::to_string(i);
        site.categoryIds = "3,7,12";
        site.articleDir = "C:\\文章\\站点" + std::to_string(i);
        site.flagHeadline = site.flagBold = site.randomFlags = true;
        site.titleColor = 255;
        list.sites.push_back(std::move(site));
    }
    list.current = 0;
    return list;
}

fs::path freshFolder() {
    std::string pattern = (fs::temp_directory_path() / "oz-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}

// The first global save into an empty settings file: every key is new.
void BM_SaveIntoEmptyFile(benchmark::State& state) {
    const SiteList list = bigSiteList();
    for (auto _ : state) {
        state.PauseTiming();
        fs::path dir = freshFolder();
        state.ResumeTiming();
        SettingsFile file;
        file.open(dir / "Orvane·Zentrel.ini");
        if (!globalSave(file, RunOptions{}, list)) state.SkipWithError(file.lastError().c_str());
        file.close();
        state.PauseTiming();
        fs::remove_all(dir);
        state.ResumeTiming();
    }
}

// A global save over the same sites: every key is replaced in place.
void BM_SaveOverExistingFile(benchmark::State& state) {
    SiteList list = bigSiteList();
    fs::path dir = freshFolder();
    {
        SettingsFile file;
        file.open(dir / "Orvane·Zentrel.ini");
        globalSave(file, RunOptions{}, list);
    }
    int round = 0;
    for (auto _ : state) {
        // Change one value per site so the save has real work beyond the unchanged category files.
        state.PauseTiming();
        for (SiteConfig& site : list.sites) site.articleCount = ++round;
        state.ResumeTiming();
        SettingsFile file;
        file.open(dir / "Orvane·Zentrel.ini");
        if (!globalSave(file, RunOptions{}, list)) state.SkipWithError(file.lastError().c_str());
        file.close();
    }
    fs::remove_all(dir);
}

void BM_Load(benchmark::State& state) {
    fs::path dir = freshFolder();
    {
        SettingsFile file;
        file.open(dir / "Orvane·Zentrel.ini");
        globalSave(file, RunOptions{}, bigSiteList());
    }
    state.counters["file_MB"] = static_cast<double>(fs::file_size(dir / "Orvane·Zentrel.ini")) / 1e6;
    for (auto _ : state) {
        SettingsFile file;
        file.open(dir / "Orvane·Zentrel.ini", SettingsFile::Mode::ReadOnly);
        loadRunOptions(file);
        SiteList list;
        loadSiteList(file, list);
        if (list.size() != kSites) state.SkipWithError("wrong number of sites");
        benchmark::DoNotOptimize(list);
    }
    fs::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_SaveIntoEmptyFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SaveOverExistingFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_MAIN();
