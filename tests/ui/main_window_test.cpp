#include "ui/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "config/data_folder.h"
#include "config/settings_file.h"
#include "testing/standin_server.h"
#include "tests/ui/ui_fakes.h"
#include "ui/countdown_window.h"
#include "ui/log_window.h"
#include "ui/schedule_window.h"

namespace fs = std::filesystem;

namespace {

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

// The real main window over a temporary data folder, every dialog answered by the fakes.
class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<oz::test::UiTestServices> fakes;
    std::unique_ptr<oz::config::SettingsFile> settings;
    std::unique_ptr<oz::ui::MainWindow> window;
    oz::testing::StandinServer server;
    QTemporaryDir articles;

    fs::path dataDir() const { return fakes->folder.path().toStdString(); }
    fs::path settingsPath() const { return dataDir() / oz::config::kSettingsFileName; }

    void open() {
        window.reset();
        settings = std::make_unique<oz::config::SettingsFile>();
        QVERIFY(settings->open(settingsPath()));
        window = std::make_unique<oz::ui::MainWindow>(*settings, fakes->services());
    }
    template <typename T = QWidget>
    T* w(const char* name) {
        T* widget = window->findChild<T*>(QString::fromUtf8(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    void typeSite(const QString& domain, const QString& user, const QString& password) {
        w<QLineEdit>("编辑框域名")->setText(domain);
        w<QLineEdit>("编辑框用户")->setText(user);
        w<QLineEdit>("编辑框密码")->setText(password);
    }
    QListWidget* list() { return w<QListWidget>("列表框"); }
    QStringList checkedRows() {
        QStringList rows;
        for (int i = 0; i < list()->count(); ++i)
            if (list()->item(i)->checkState() == Qt::Checked) rows << QString::number(i + 1);
        return rows;
    }
    // One stand-in site with 40 slow articles, added to the list.
    void addStandinSite() {
        oz::testing::StandinSite standin;
        server.addSite(standin);
        oz::testing::StandinFaults slow;
        slow.delayMs = 30;
        server.setFaults("s1", slow);
        QVERIFY(server.start());
        const fs::path folder = fs::path(articles.path().toStdString()) / "s1";
        fs::create_directories(folder);
        for (int n = 1; n <= 40; ++n)
            std::ofstream(folder / ("a" + std::to_string(n) + ".txt"), std::ios::binary)
                << "标题\r\n正文。\r\n";
        typeSite(QString::fromStdString(server.siteDomain("s1")), "admin", "admin");
        w<QLineEdit>("编辑框文章目录")->setText(QString::fromStdString(folder.string()));
        w<QLineEdit>("编辑框更新间隔1")->setText("0.2");
        w<QLineEdit>("编辑框更新间隔2")->setText("0.2");
        w<QPushButton>("按钮添加")->click();
    }
    QString lastMessage() const {
        return fakes->dialogs.messages.isEmpty() ? QString() : fakes->dialogs.messages.back().text;
    }

   private slots:
    void init() {
        fakes = std::make_unique<oz::test::UiTestServices>();
        open();
    }
    void cleanup() {
        window.reset();
        settings.reset();
        server.stop();
    }

    void addAndModifySites() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The layout fits the initial size.
        QVERIFY2(window->minimumSizeHint().height() <= 711 && window->minimumSizeHint().width() <= 1082,
                 qPrintable(QStringLiteral("%1x%2").arg(window->minimumSizeHint().width()).arg(window->minimumSizeHint().height())));
        window->hide();
        typeSite("http://www.a.com/", "admin", "pw");
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(list()->count(), 1);
        QCOMPARE(list()->item(0)->text(), QStringLiteral("www.a.com(admin)"));
        QVERIFY(w<QGroupBox>("分组框3")->title().startsWith(QStringLiteral("dedeCMS网站列表(1) - ")));

        typeSite("www.a.com", "admin", "other password");  // same domain and user: refused
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(list()->count(), 1);
        QVERIFY(lastMessage().startsWith(
            QStringLiteral("网站列表中已存在相同的‘域名(用户名)’：www.a.com(admin)")));

        typeSite("www.a.com", "editor", "pw");  // another user: a second site
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(list()->count(), 2);

        // Modify keeps the entry's check mark and shows "已改" for a second.
        list()->item(0)->setCheckState(Qt::Unchecked);
        list()->setCurrentRow(0);
        w<QLineEdit>("编辑框文章来源")->setText(QStringLiteral("来源"));
        w<QPushButton>("按钮修改")->click();
        QCOMPARE(w<QPushButton>("按钮修改")->text(), QStringLiteral("已改"));
        QTRY_COMPARE_WITH_TIMEOUT(w<QPushButton>("按钮修改")->text(), QStringLiteral("修改"), 2000);
        QCOMPARE(window->siteList().sites[0].source, std::string("来源"));
        QCOMPARE(list()->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(!window->siteList().sites[0].enabled);

        // Renaming it onto the other entry is refused; an empty password names the field.
        typeSite("www.a.com", "editor", "pw");
        w<QPushButton>("按钮修改")->click();
        QVERIFY(lastMessage().startsWith(QStringLiteral("网站列表中已存在相同的")));
        typeSite("b.com", "x", "");
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(lastMessage(), QStringLiteral("密码不能为空！"));
    }

    void multiCheck_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("checked");
        QTest::newRow("shift") << int(Qt::ShiftModifier) << "2,3,4,5";
        QTest::newRow("shift+ctrl") << int(Qt::ShiftModifier | Qt::ControlModifier) << "2,3,4,5,7,9";
        QTest::newRow("ctrl") << int(Qt::ControlModifier) << "5,7,9";
    }
    void multiCheck() {
        QFETCH(int, modifiers);
        QFETCH(QString, checked);
        for (int i = 1; i <= 10; ++i) {
            typeSite(QStringLiteral("s%1.com").arg(i), "u", "p");
            w<QPushButton>("按钮添加")->click();
        }
        w<QPushButton>("按钮不启")->click();
        list()->item(6)->setCheckState(Qt::Checked);
        list()->item(8)->setCheckState(Qt::Checked);
        window->applyMultiCheck(1, {});  // entry 2 clicked first
        window->applyMultiCheck(4, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(checkedRows().join(','), checked);
        // Every change is in the settings file at once.
        oz::config::SettingsFile reread;
        QVERIFY(reread.open(settingsPath(), oz::config::SettingsFile::Mode::ReadOnly));
        reread.setSection("站点序号_5");
        QVERIFY(reread.readBool("启用"));
        reread.setSection("站点序号_1");
        QVERIFY(!reread.readBool("启用", true));
    }

    void categoryTreeFromStandin() {
        server.addSite({});
        QVERIFY(server.start());
        typeSite(QString::fromStdString(server.siteDomain("s1")), "admin", "admin");
        QSignalSpy done(window.get(), &oz::ui::MainWindow::categoryReadFinished);
        w<QPushButton>("按钮读取栏目列表")->click();
        QCOMPARE(w<QPushButton>("按钮读取栏目列表")->text(), QStringLiteral("正在读取栏目列表.."));
        QVERIFY(done.wait(10000));
        auto* tree = w<QTreeWidget>("树型框");
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("新闻中心[1]"));
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("国内新闻[3]"));

        // Single-check rule, then the category page through the desktop seam.
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        QCOMPARE(tree->topLevelItem(0)->child(0)->checkState(0), Qt::Checked);
        tree->setCurrentItem(tree->topLevelItem(1));
        QCOMPARE(tree->topLevelItem(0)->child(0)->checkState(0), Qt::Unchecked);
        emit tree->itemDoubleClicked(tree->topLevelItem(1), 0);
        QCOMPARE(fakes->desktop.urls.value(0), QStringLiteral("http://%1/plus/list.php?tid=2")
                                                   .arg(QString::fromStdString(server.siteDomain("s1"))));

        // Stored with the site, the tree comes back after a restart.
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(window->siteList().sites[0].categoryIds, std::string("2"));
        window->saveForExit();
        open();
        QCOMPARE(w<QTreeWidget>("树型框")->topLevelItemCount(), 2);
    }

    void runInEachMode_data() {
        QTest::addColumn<bool>("rightClick");
        QTest::addColumn<bool>("cycle");
        QTest::newRow("complete listing, independent") << false << false;
        QTest::newRow("fast listing, cycle") << true << true;
    }
    void runInEachMode() {
        QFETCH(bool, rightClick);
        QFETCH(bool, cycle);
        addStandinSite();
        w<QAbstractButton>(cycle ? "单选框同步循环" : "单选框先后独立")->setChecked(true);

        auto* start = w<QPushButton>("按钮开始更新");
        QSignalSpy finished(window.get(), &oz::ui::MainWindow::runFinished);
        if (rightClick) {
            QTest::mousePress(start, Qt::RightButton);
        } else {
            start->click();
        }
        QCOMPARE(start->text(), QStringLiteral("停止站群更新"));
        QVERIFY(!w<QPushButton>("按钮添加")->isEnabled());
        QVERIFY(w<QPushButton>("按钮停止更新")->isVisible() || !window->isVisible());
        QTest::qWait(400);
        start->click();
        QCOMPARE(start->text(), QStringLiteral("正在停止中.."));
        QVERIFY(finished.wait(10000));
        QCOMPARE(start->text(), QStringLiteral("开始站群更新"));
        QVERIFY(w<QPushButton>("按钮添加")->isEnabled());
        QVERIFY(lastMessage().startsWith(QStringLiteral("更新完成！总更新了 ")));
        auto* log = window->findChild<oz::ui::LogWindow*>();
        log->model().flush();
        QVERIFY(log->model().rowCount() >= 2);
        QCOMPARE(w<QPushButton>("按钮查看日志")->text(), QStringLiteral("关闭日志"));
    }

    // The schedule link, the schedule's start with the program, and the countdown after a run.
    void scheduleAndShutdownCountdown() {
        auto* link = w<QLabel>("超级链接框计划");
        emit link->linkActivated(QStringLiteral("#"));
        oz::ui::ScheduleWindow* schedule = window->scheduleWindow();
        QVERIFY(schedule != nullptr && schedule->isVisible());
        QVERIFY(fakes->dialogs.messages.isEmpty());
        emit link->linkActivated(QStringLiteral("#"));
        QCOMPARE(window->scheduleWindow(), schedule);  // made once
        schedule->findChild<QAbstractButton*>(QStringLiteral("选择框开始任务"))->setChecked(true);
        schedule->findChild<QAbstractButton*>(QStringLiteral("单选框鼠标右键"))->setChecked(true);
        window->saveForExit();  // the exit sequence saves the schedule with its options
        open();
        QVERIFY(window->scheduleWindow() == nullptr);
        window->show();
        QTRY_VERIFY(window->scheduleWindow() != nullptr);
        QCOMPARE(window->scheduleWindow()->state(), oz::schedule::SchedulerState::Running);
        QVERIFY(!window->scheduleWindow()->options().completeListing);
        window->hide();

        addStandinSite();
        w<QCheckBox>("选择框完成关机")->setChecked(true);
        int requestsInWindow = -1;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            auto* countdown = window->findChild<oz::ui::CountdownWindow*>();
            if (countdown == nullptr || !countdown->isVisible()) return;
            answer.stop();
            countdown->findChild<QPushButton*>(QStringLiteral("按钮立即"))->click();
            requestsInWindow = fakes->power.requests;
            countdown->accept();  // the fake power leaves the window open
        });
        answer.start(20);
        QSignalSpy finished(window.get(), &oz::ui::MainWindow::runFinished);
        w<QPushButton>("按钮开始更新")->click();
        QTest::qWait(300);
        w<QPushButton>("按钮开始更新")->click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(requestsInWindow, 1);
        QCOMPARE(fakes->power.requests, 1);
        for (const auto& message : fakes->dialogs.messages)
            QVERIFY(!message.text.startsWith(QStringLiteral("更新完成！")));
        settings->flush();
        oz::config::SettingsFile reread;  // the global save ran before the countdown
        QVERIFY(reread.open(settingsPath(), oz::config::SettingsFile::Mode::ReadOnly));
        reread.setSection("基本配置");
        QVERIFY(reread.readBool("选择框完成关机"));
        QVERIFY(reread.readBool("自动开启计划任务"));
    }

    void exportAndImport() {
        for (const char* domain : {"a.com", "b.com"}) {
            typeSite(domain, "u", "p");
            w<QPushButton>("按钮添加")->click();
        }
        const QString file = QString::fromStdString((dataDir() / "sites.ini").string());
        fakes->dialogs.fileNames.push_back({file});
        w<QPushButton>("按钮导出")->click();
        QVERIFY(lastMessage().startsWith(QStringLiteral("导出站点配置成功：") + file));
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        w<QPushButton>("按钮清空")->click();
        QCOMPARE(list()->count(), 0);
        fakes->dialogs.fileNames.push_back({file});
        w<QPushButton>("按钮导入")->click();
        QCOMPARE(list()->count(), 2);
        QCOMPARE(list()->item(1)->text(), QStringLiteral("b.com(u)"));
        QCOMPARE(fakes->dialogs.fileTitles,
                 QStringList({QStringLiteral("将站点配置文件导出"), QStringLiteral("将站点配置文件导入")}));
        QCOMPARE(window->runOptions().importPath, file.toStdString());
    }

    // A settings file of the original program loads and, saved back unchanged, keeps its bytes.
    void profileSavesBackUnchanged() {
        window.reset();
        settings.reset();
        const fs::path source = fs::path(OZ_SOURCE_DIR) / "tests/config/data/windows_profile";
        fs::copy(source, dataDir(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        const std::string before = fileBytes(settingsPath());
        const std::string ibn = fileBytes(dataDir() / "inibin/站点序号_1-栏目数据.ibn");
        open();
        QCOMPARE(list()->count(), 2);
        QCOMPARE(list()->currentRow(), 1);
        QCOMPARE(w<QLineEdit>("编辑框同时站点数")->text(), QStringLiteral("8"));
        list()->setCurrentRow(0);
        QCOMPARE(w<QComboBox>("组合框访问方式")->currentIndex(), 1);
        QCOMPARE(w<QLineEdit>("编辑框域名")->text(), QStringLiteral("www.廬山.com/news"));
        w<QPushButton>("按钮修改")->click();  // the record read back from the window is the same
        list()->setCurrentRow(1);
        window->saveForExit();
        settings->flush();
        if (qEnvironmentVariableIsSet("OZ_DUMP"))
            std::ofstream("/tmp/oz_after.ini", std::ios::binary) << fileBytes(settingsPath());
        QVERIFY(fileBytes(settingsPath()) == before);
        QCOMPARE(fileBytes(dataDir() / "inibin/站点序号_1-栏目数据.ibn"), ibn);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
