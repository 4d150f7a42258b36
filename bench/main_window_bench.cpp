// The main window with 1,000 sites in the settings file: from opening the file to the window shown
// with the current site filled in. Target: under 1 s.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <QApplication>
#include <QTemporaryDir>

#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "tests/ui/ui_fakes.h"
#include "ui/main_window.h"

namespace {

namespace fs = std::filesystem;

void writeSites(const fs::path& file) {
    oz::config::SiteList list;
    std::string keywords;
    for (int i = 0; keywords.size() < 2048; ++i) keywords += "关键词" + std::to_string(i) + "\r\n";
    for (int i = 1; i <= 1000; ++i) {
        oz::config::SiteConfig site = oz::config::initialSiteConfig();
        site.domain = "site" + std::to_string(i) + ".example.com";
        site.keywordList = keywords;
        site.categoryTree = "OZTREE 1\r\n1\t1\t0\t新闻中心\r\n2\t3\t1\t国内新闻\r\n1\t2\t0\t技术文章\r\n";
        list.sites.push_back(site);
    }
    list.current = 0;
    oz::config::SettingsFile settings;
    settings.open(file);
    oz::config::globalSave(settings, {}, list);
}

void BM_MainWindowShown(benchmark::State& state) {
    oz::test::UiTestServices fakes;
    const fs::path file = fs::path(fakes.folder.path().toStdString()) / "Orvane·Zentrel.ini";
    writeSites(file);
    for (auto _ : state) {
        oz::config::SettingsFile settings;
        settings.open(file);
        oz::ui::MainWindow window(settings, fakes.services());
        window.show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(window.siteList().size());
        state.PauseTiming();
        window.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainWindowShown)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
