#include "ui/category_panel.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTreeWidget>

#include "tests/ui/main_window_fixture.h"

// The category panel inside the real main window, reading from the stand-in back end.
class CategoryPanelTest : public QObject, public oz::test::MainWindowFixture {
    Q_OBJECT

   private slots:
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

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

    // A refused login says why, in the back end's words, beside the usual hint.
    void aFailedLoginSaysWhy() {
        server.addSite({});
        QVERIFY(server.start());
        typeSite(QString::fromStdString(server.siteDomain("s1")), "admin", "wrong");
        QSignalSpy done(window.get(), &oz::ui::MainWindow::categoryReadFinished);
        w<QPushButton>("按钮读取栏目列表")->click();
        QVERIFY(done.wait(10000));
        QVERIFY(lastMessage().startsWith(QStringLiteral("登录失败，请检查是否正确填写了域名、用户名和密码")));
        QVERIFY(lastMessage().endsWith(QStringLiteral("失败原因：你的密码错误!")));
    }

    // Closing during a reading cuts its request off: the window goes at once and the settings file
    // can be opened again. Before, the reading's thread held both for the request's whole wait.
    void closingCutsAReadingOff() {
        oz::testing::StandinSite slow;
        slow.faults.delayMs = 8000;
        server.addSite(slow);
        QVERIFY(server.start());
        typeSite(QString::fromStdString(server.siteDomain("s1")), "admin", "admin");
        w<QPushButton>("按钮读取栏目列表")->click();
        QTest::qWait(200);
        QElapsedTimer closing;
        closing.start();
        QVERIFY(window->close());
        window.reset();
        settings.reset();
        QVERIFY2(closing.elapsed() < 3000, qPrintable(QString::number(closing.elapsed())));
        oz::config::SettingsFile again;
        QVERIFY(again.open(settingsPath()));
        QVERIFY(fakes->dialogs.messages.isEmpty());  // no login failure said for a cut-off reading
    }

    // A right click (the button's press and release, then the context menu request the system
    // sends) opens the clicked node's page and leaves the ticks alone; before, the press made the
    // node current, the single-check rule moved the tick, and a later 修改 stored the wrong one.
    // A page no browser could open is said.
    void rightClickOpensThePageOnly() {
        server.addSite({});
        QVERIFY(server.start());
        typeSite(QString::fromStdString(server.siteDomain("s1")), "admin", "admin");
        QSignalSpy done(window.get(), &oz::ui::MainWindow::categoryReadFinished);
        w<QPushButton>("按钮读取栏目列表")->click();
        QVERIFY(done.wait(10000));
        auto* tree = w<QTreeWidget>("树型框");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        tree->setCurrentItem(tree->topLevelItem(0));
        QTreeWidgetItem* other = tree->topLevelItem(1);
        const QPoint at = tree->visualItemRect(other).center();
        QTest::mousePress(tree->viewport(), Qt::RightButton, {}, at);
        QTest::mouseRelease(tree->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &menu);
        QCOMPARE(fakes->desktop.urls.value(0), QStringLiteral("http://%1/plus/list.php?tid=2")
                                                   .arg(QString::fromStdString(server.siteDomain("s1"))));
        QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
        QCOMPARE(tree->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(other->checkState(0), Qt::Unchecked);

        fakes->desktop.browserWorks = false;
        emit tree->itemDoubleClicked(other, 0);
        QVERIFY(lastMessage().startsWith(QStringLiteral("无法打开浏览器，请自行访问：http://")));
    }
};

QTEST_MAIN(CategoryPanelTest)
#include "category_panel_test.moc"
