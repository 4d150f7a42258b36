// The main window with 1,000 sites in the settings file: from opening the file to the window shown
// with the current site filled in. Target: under 1 s. And the random text generator's long result.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "tests/ui/ui_fakes.h"
#include "ui/main_window.h"
#include "ui/random_text_window.h"

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

// The process's resident memory in MB (Linux), 0 where unknown.
double residentMb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// The random text generator with 1,600,000 groups of 3 to 5 characters: how long the window
// thread is held at most while the groups are made and shown (a 5 ms heartbeat measures it), and
// the memory afterwards. Target: no stall a click would notice (under 200 ms).
void BM_RandomTextLongResult(benchmark::State& state) {
    oz::test::UiTestServices fakes;
    oz::config::SettingsFile settings;
    settings.open(std::filesystem::path(fakes.folder.path().toStdString()) / "Orvane·Zentrel.ini");
    for (auto _ : state) {
        oz::ui::RandomTextWindow window(fakes.services(), settings);
        window.findChild<QLineEdit*>(QStringLiteral("编辑框组数"))->setText(QStringLiteral("1600000"));
        auto* chinese = window.findChild<QPushButton*>(QStringLiteral("按钮生成汉字"));
        const QString idle = chinese->text();
        double worst = 0;
        QElapsedTimer beat;
        QTimer heart;
        heart.setTimerType(Qt::PreciseTimer);
        heart.setInterval(5);
        QEventLoop loop;
        QObject::connect(&heart, &QTimer::timeout, [&] {
            worst = std::max(worst, static_cast<double>(beat.nsecsElapsed()) / 1e6 - 5.0);
            beat.restart();
            if (chinese->text() == idle) loop.quit();
        });
        chinese->click();
        beat.start();
        heart.start();
        loop.exec();
        state.counters["worst_stall_ms"] = worst;
        state.counters["resident_mb"] = residentMb();
    }
}
BENCHMARK(BM_RandomTextLongResult)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
