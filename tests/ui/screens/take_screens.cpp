// Shows one window of the program for a picture under a virtual display and takes it with
// ImageMagick's import (xvfb-run -s "-screen 0 1100x760x24" take_screens WINDOW OUT.png).
// WINDOW: text-dialog, log-window (during a run against the stand-in), schedule-window,
// batch-tools-window (during a category deletion against the stand-in).
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "config/data_folder.h"
#include "config/settings_file.h"
#include "schedule/schedule_file.h"
#include "testing/standin_server.h"
#include "text/clock.h"
#include "ui/batch_tools_window.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"
#include "ui/help_text.h"
#include "ui/log_window.h"
#include "ui/main_window.h"
#include "ui/schedule_window.h"
#include "ui/text_dialog.h"
#include "ui/window_run.h"

namespace {

// Says OK to every question, so that an action starts without an operator.
class AgreeingDialogs final : public oz::ui::Dialogs {
   public:
    Answer message(QWidget*, const QString&, const QString&, Buttons, Icon) override { return Answer::Ok; }
    QStringList openFileNames(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, const QString&,
                         bool) override {
        return {};
    }
    QString existingFolder(QWidget*, const QString&, const QString&) override { return {}; }
    bool chooseColor(QWidget*, const QString&, QColor&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString which = argv[1];
    const QString out = argv[2];
    QFont font = app.font();
    font.setFamily("Noto Sans CJK SC");
    app.setFont(font);

    oz::ui::QtDialogs dialogs;
    oz::ui::QtDesktop desktop;
    QTemporaryDir data;
    QTemporaryDir articles;
    oz::testing::StandinServer server;
    std::unique_ptr<QWidget> window;
    std::unique_ptr<oz::ui::WindowRun> run;

    auto snap = [&](int delayMs) {
        QTimer::singleShot(delayMs, [&] {
            QProcess::execute("import", {"-window", "root", out});
            app.quit();
        });
    };

    // Stand-in sites site1..site3 whose every answer takes `delayMs`, so a picture catches work going.
    auto startSlowSites = [&server](int delayMs) {
        for (int s = 1; s <= 3; ++s) {
            oz::testing::StandinSite standin;
            standin.prefix = "site" + std::to_string(s);
            standin.faults.delayMs = delayMs;
            server.addSite(standin);
        }
        server.start();
    };

    if (which == "text-dialog") {
        oz::ui::TextDialog* dialog = nullptr;
        oz::ui::TextDialogOptions options;
        options.contentButton = true;
        options.fileNameButton = true;
        dialog = new oz::ui::TextDialog(
            QStringLiteral(
                "黄山旅游\r\n黄山攻略\r\n黄山门票\r\n<a href=''http://www.example.com/''>黄山</a>\r\n"),
            QStringLiteral("一行一个关键词或锚文本代码，在更新文章时将随机插入到文章"),
            QStringLiteral("输入关键词列表："), nullptr, dialogs, options);
        window.reset(dialog);
        window->move(20, 20);
        window->show();
        snap(1500);
    } else if (which == "log-window") {
        startSlowSites(60);
        oz::config::SiteList list;
        for (int s = 1; s <= 3; ++s) {
            const std::string prefix = "site" + std::to_string(s);
            oz::config::SiteConfig site;
            site.enabled = true;
            site.domain = server.siteDomain(prefix);
            site.user = "admin";
            site.password = "admin";
            site.keywordMethod = 3;
            site.tagMethod = 3;
            site.shortTitleMethod = 3;
            site.categoryIds = "1,2";
            site.fileFilter = "*.txt";
            site.intervalMin = 0.2f;
            site.intervalMax = 0.6f;
            const std::filesystem::path folder =
                std::filesystem::path(articles.path().toStdString()) / prefix;
            std::filesystem::create_directories(folder);
            for (int n = 1; n <= 40; ++n) {
                std::ofstream(folder / ("第" + std::to_string(n) + "篇.txt"), std::ios::binary)
                    << "黄山旅游攻略第" << n << "篇\r\n正文。\r\n";
            }
            site.articleDir = folder.string();
            list.sites.push_back(site);
        }
        run = std::make_unique<oz::ui::WindowRun>(data.path().toStdString());
        auto* log = new oz::ui::LogWindow(desktop);
        window.reset(log);
        log->follow(*run);
        log->move(20, 20);
        run->startOrStop(list, oz::content::ListingMethod::Complete, false);
        snap(4000);
    } else if (which == "schedule-window") {
        const std::vector<oz::schedule::ScheduleRow> rows{{"08:30:00", 0, true},
                                                          {"12:12:12", 0, true},
                                                          {"20:00:00", 0, false},
                                                          {"2026-12-24 09:00:00", 0, true}};
        oz::schedule::saveSchedule(oz::schedule::scheduleFilePath(data.path().toStdString()), rows);
        oz::ui::UiServices services{data.path().toStdString(), &dialogs, &desktop, nullptr, nullptr};
        auto* schedule = new oz::ui::ScheduleWindow(services, {});
        window.reset(schedule);
        schedule->loadSchedule({true, false, false});
        schedule->move(20, 20);
        schedule->show();
        snap(1500);
    } else if (which == "batch-tools-window") {
        static AgreeingDialogs agreeing;
        static oz::config::SettingsFile settings;
        startSlowSites(150);
        settings.open(std::filesystem::path(data.path().toStdString()) / oz::config::kSettingsFileName);
        oz::ui::UiServices services{data.path().toStdString(), &agreeing, &desktop, nullptr,
                                    &oz::text::systemClock()};
        auto* main = new oz::ui::MainWindow(settings, services);
        window.reset(main);
        for (int s = 1; s <= 3; ++s) {
            main->findChild<QLineEdit*>("编辑框域名")
                ->setText(QString::fromStdString(server.siteDomain("site" + std::to_string(s))));
            main->findChild<QLineEdit*>("编辑框用户")->setText("admin");
            main->findChild<QLineEdit*>("编辑框密码")->setText("admin");
            main->saveSite(false, -2, true);
        }
        main->openBatchTools();
        oz::ui::BatchToolsWindow* batch = main->batchToolsWindow();
        batch->move(20, 20);
        batch->findChild<QPushButton*>("按钮删除栏目")->click();
        snap(2500);
    } else {
        return 2;
    }
    const int rc = app.exec();
    if (run) run->abortNow();
    run.reset();
    window.reset();
    server.stop();
    return rc;
}
