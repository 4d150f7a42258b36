// Shows one window of the program for a picture under a virtual display and takes it with
// ImageMagick's import:
//   xvfb-run -s "-screen 0 1024x768x24" sh -c 'openbox & sleep 1; take_screens WINDOW OUT.png'
// (the window manager gives the windows their frames and maximises the main window).
// WINDOW: main-window (maximised on the screen, three sites), message-box (the exit's question
// after a failed save, with Qt's Chinese buttons), countdown-window, text-dialog, log-window (during a run
// against the stand-in), schedule-window, batch-tools-window (during a category deletion against the
// stand-in).
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "config/data_folder.h"
#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "schedule/schedule_file.h"
#include "testing/standin_server.h"
#include "text/clock.h"
#include "ui/batch_tools_window.h"
#include "ui/countdown_window.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"
#include "ui/help_text.h"
#include "ui/log_window.h"
#include "ui/main_program.h"
#include "ui/main_window.h"
#include "ui/pinyin_window.h"
#include "ui/random_text_window.h"
#include "ui/schedule_window.h"
#include "ui/shared_settings.h"
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

// A power control that never powers off: the countdown shows, the machine stays on.
class NeverPower final : public oz::schedule::PowerControl {
   public:
    bool powerOff() override { return false; }
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
    oz::ui::installQtTranslations();

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
            // An open message box runs an event loop of its own that the quit would not end.
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
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

    // A main window over three sites with their category trees, the second one on show.
    static oz::config::SettingsFile settings;
    auto mainWindow = [&](oz::ui::Dialogs& answers) {
        const std::filesystem::path dir = data.path().toStdString();
        settings.open(dir / oz::config::kSettingsFileName);
        oz::config::SiteList list;
        const char* const domains[] = {"www.huangshan-travel.com", "news.example.cn", "bbs.example.cn"};
        for (const char* domain : domains) {
            oz::config::SiteConfig site = oz::config::initialSiteConfig();
            site.domain = domain;
            site.user = "admin";
            site.password = "secret";
            site.articleDir = "/home/operator/文章/" + std::string(domain);
            site.categoryTree =
                "OZTREE "
                "1\r\n1\t1\t0\t新闻中心\r\n2\t3\t1\t国内新闻\r\n2\t4\t0\t国际新闻\r\n1\t2\t0\t旅游攻略\r\n"
                "2\t5\t0\t黄山\r\n2\t6\t0\t九寨沟\r\n";
            site.categoryIds = "3";
            site.categoryCurrentItem = 1;
            list.sites.push_back(site);
        }
        list.sites[2].enabled = false;
        list.current = 1;
        oz::config::globalSave(settings, oz::config::RunOptions{}, list);
        oz::ui::UiServices services{dir, &answers, &desktop, nullptr, &oz::text::systemClock()};
        return new oz::ui::MainWindow(settings, services);
    };

    if (which == "main-window") {
        window.reset(mainWindow(dialogs));
        window->showMaximized();
        snap(2500);
    } else if (which == "message-box") {
        auto* main = mainWindow(dialogs);
        window.reset(main);
        main->showMaximized();
        QTimer::singleShot(500, [&dialogs, main] {
            dialogs.message(
                main,
                QStringLiteral("退出前保存失败：无法写入文件：/home/operator/Orvane·Zentrel/Orvane·Zentrel."
                               "ini（文件是只读的）\r\n\r\n点“重试”再保存一次；点“忽略”不保存就退出，本"
                               "次的改动将丢失。"),
                {}, oz::ui::Dialogs::Buttons::RetryIgnore, oz::ui::Dialogs::Icon::Warning);
        });
        snap(2500);
    } else if (which == "countdown-window") {
        static NeverPower never;
        auto* countdown = new oz::ui::CountdownWindow(never, oz::text::systemClock(), dialogs);
        window.reset(countdown);
        countdown->move(20, 20);
        countdown->show();
        snap(2500);
    } else if (which == "text-dialog") {
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
    } else if (which == "random-text-window" || which == "pinyin-window") {
        settings.open(std::filesystem::path(data.path().toStdString()) / oz::config::kSettingsFileName);
        oz::ui::UiServices services{data.path().toStdString(), &dialogs, &desktop, nullptr, nullptr};
        static oz::ui::SharedSettings shared(settings);
        if (which == "random-text-window") {
            auto* generator = new oz::ui::RandomTextWindow(services, shared);
            window.reset(generator);
            generator->findChild<QLineEdit*>("编辑框组数")->setText("12");
            generator->findChild<QPushButton*>("按钮生成汉字")->click();
        } else {
            auto* pinyin = new oz::ui::PinyinWindow(services, shared);
            window.reset(pinyin);
            pinyin->findChild<QPlainTextEdit*>("编辑框汉字")
                ->setPlainText(QStringLiteral("中国 abc\n汉字拼音转换器"));
            pinyin->findChild<QPushButton*>("按钮转换拼音")->click();
        }
        window->move(20, 20);
        window->show();
        snap(1500);
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
