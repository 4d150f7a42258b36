#include "ui/run_bar.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTreeWidget>
#include <fstream>

#include "tests/ui/main_window_fixture.h"
#include "ui/log_window.h"

// The run bar inside the real main window: runs against the stand-in back end in both modes.
class RunBarTest : public QObject, public oz::test::MainWindowFixture {
    Q_OBJECT

   private slots:
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void runInEachMode_data() {
        QTest::addColumn<bool>("rightClick");
        QTest::addColumn<bool>("cycle");
        QTest::newRow("complete listing, independent") << false << false;
        QTest::newRow("fast listing, cycle") << true << true;
    }
    void runInEachMode() {
        QFETCH(bool, rightClick);
        QFETCH(bool, cycle);
        addStandinSites(1);
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
        QVERIFY(lastMessage().startsWith(QStringLiteral("已停止更新！总更新了 ")));
        auto* log = window->findChild<oz::ui::LogWindow*>();
        log->model().flush();
        QVERIFY(log->model().rowCount() >= 2);
        QCOMPARE(w<QPushButton>("按钮查看日志")->text(), QStringLiteral("关闭日志"));
    }

    // Regression: a run started with a checked site that had no category checked went ahead, and
    // the back end refused every article of that site.
    void aSiteWithoutCategoriesIsSaidBeforeTheStart() {
        oz::testing::StandinSite standin;
        server.addSite(standin);
        QVERIFY(server.start());
        server.clearRequests();  // the server outlives the tests before
        typeSite(QString::fromStdString(server.siteDomain("s1")), "other", "admin");
        w<QPushButton>("按钮添加")->click();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* start = w<QPushButton>("按钮开始更新");
        QTest::mouseClick(start, Qt::LeftButton);  // answered 否
        QVERIFY2(lastMessage().startsWith(QStringLiteral("以下勾选的站点没有勾选栏目，文章将发布失败：\r\n") +
                                          QString::fromStdString(server.siteDomain("s1")) + "(other)"),
                 qPrintable(lastMessage()));
        QCOMPARE(start->text(), QStringLiteral("开始站群更新"));
        QTest::qWait(200);
        QVERIFY(!window->runBar().isRunning());
        QVERIFY(!lastMessage().startsWith(QStringLiteral("已停止更新")));
    }

    // With three sites of four checked and one at a time, the status counts the one at work as
    // running and the others as waiting (before, every checked site counted as running: "进行中 3"
    // while one had started), and the start button stays where it was for a second click (before,
    // the status bar appeared and the layout moved up under the mouse). The stop button is ready
    // for the current site.
    void statusCountsRunningAndWaitingSites() {
        addStandinSites(4, 200);
        list()->item(0)->setCheckState(Qt::Unchecked);
        list()->setCurrentRow(1);
        w<QAbstractButton>("单选框先后独立")->setChecked(true);
        w<QLineEdit>("编辑框同时站点数")->setText("1");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto* start = w<QPushButton>("按钮开始更新");
        const QPoint before = start->mapTo(window.get(), QPoint(0, 0));
        QSignalSpy finished(window.get(), &oz::ui::MainWindow::runFinished);
        QTest::mouseClick(start, Qt::LeftButton);
        auto* status = window->runBar().statusLabel();
        QTRY_VERIFY2(status->text().startsWith(QStringLiteral("站点：进行中 1 / 等待 2 / 已完成 0 / 共 3")),
                     qPrintable(status->text()));
        QCOMPARE(start->mapTo(window.get(), QPoint(0, 0)), before);
        auto* stopSite = w<QPushButton>("按钮停止更新");
        QVERIFY(stopSite->isEnabled());
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(finished.wait(10000));
        QVERIFY(w<QPushButton>("按钮添加")->isEnabled());
        // Regression: the status bar was left empty; it says how the run ended.
        QVERIFY2(status->text().startsWith(QStringLiteral("上次更新已停止：已发布 ")),
                 qPrintable(status->text()));
    }

    // "发布后前台检查" starts checked; a click takes it off and the run fetches no visitor page,
    // the space key puts it back and the next run checks each article on the site. The window's
    // save keeps it under its key (written once it was off).
    void liveCheckBoxSwitchesTheVisitorFetches() {
        addStandinSites(1, 0);
        QSignalSpy read(window.get(), &oz::ui::MainWindow::categoryReadFinished);
        w<QPushButton>("按钮读取栏目列表")->click();
        QVERIFY(read.wait(10000));
        auto* tree = w<QTreeWidget>("树型框");
        if (tree->topLevelItem(0)->checkState(0) != Qt::Checked)
            tree->setCurrentItem(tree->topLevelItem(0));  // checks it
        w<QLineEdit>("编辑框更新数量")->setText("1");
        w<QPushButton>("按钮修改")->click();
        auto* box = w<QCheckBox>("选择框发布后前台检查");
        QVERIFY(box->isChecked());
        const auto visitorRequests = [this] {
            int count = 0;
            for (const auto& request : server.requests("s1"))
                count += request.path.find("/a/") != std::string::npos;
            return count;
        };
        const std::size_t before = server.articleCount("s1");  // an earlier test's run may have posted
        for (bool checked : {false, true}) {
            if (checked) {
                box->setFocus();
                QTest::keyClick(box, Qt::Key_Space);
            } else {
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));  // on its box
            }
            QCOMPARE(box->isChecked(), checked);
            server.clearRequests();
            QSignalSpy finished(window.get(), &oz::ui::MainWindow::runFinished);
            w<QPushButton>("按钮开始更新")->click();
            QVERIFY(finished.wait(10000));
            QCOMPARE(server.articleCount("s1") - before, checked ? 2u : 1u);
            QCOMPARE(visitorRequests(), checked ? 1 : 0);
            QVERIFY(window->saveForExit().isEmpty());
            settings->flush();
            oz::config::SettingsFile reread;
            QVERIFY(reread.open(settingsPath(), oz::config::SettingsFile::Mode::ReadOnly));
            reread.setSection("基本配置");
            QCOMPARE(reread.readBool("发布后前台检查", !checked), checked);
        }
    }

    // A run whose log and address records cannot be written says so once, in a box, and goes on;
    // the lost addresses stay in the log pane.
    void aFailedWriteIsSaidOnce() {
        addStandinSites(1, 0);
        QSignalSpy read(window.get(), &oz::ui::MainWindow::categoryReadFinished);
        w<QPushButton>("按钮读取栏目列表")->click();
        QVERIFY(read.wait(10000));
        auto* tree = w<QTreeWidget>("树型框");
        tree->setCurrentItem(tree->topLevelItem(0));  // checks it
        w<QLineEdit>("编辑框更新数量")->setText("2");
        w<QPushButton>("按钮修改")->click();
        // A plain file where each folder should be: nothing can be created in it.
        for (const char* folder : {"日志", "文章地址"}) {
            std::ofstream(dataDir() / std::filesystem::u8path(folder)) << "x";
        }
        QSignalSpy finished(window.get(), &oz::ui::MainWindow::runFinished);
        w<QPushButton>("按钮开始更新")->click();
        QVERIFY(finished.wait(10000));
        int warnings = 0;
        for (const auto& message : fakes->dialogs.messages)
            warnings += message.text.startsWith("无法写入文件：");
        QCOMPARE(warnings, 1);
        QVERIFY(lastMessage().contains(QStringLiteral("以下文件未能写入")));
        auto* log = window->findChild<oz::ui::LogWindow*>();
        log->model().flush();
        int lost = 0;
        for (int row = 0; row < log->model().rowCount(); ++row) {
            lost +=
                log->model().index(row, 2).data().toString().startsWith(QStringLiteral("文章地址未能记录"));
        }
        QCOMPARE(lost, 2);
    }
};

QTEST_MAIN(RunBarTest)
#include "run_bar_test.moc"
