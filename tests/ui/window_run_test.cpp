#include "ui/window_run.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <fstream>

#include "testing/standin_server.h"
#include "tests/ui/ui_fakes.h"
#include "text/fake_clock.h"
#include "text/path_text.h"

using namespace std::chrono_literals;
using oz::engine::RunState;

// The window's side of a run against the stand-in back end: the run goes on elsewhere, and every
// report arrives on the window thread.
class WindowRunTest : public QObject {
    Q_OBJECT

    oz::config::SiteConfig addSite(const std::string& prefix, int articles, int delayMs = 0) {
        oz::testing::StandinSite standin;
        standin.prefix = prefix;
        server.addSite(standin);
        if (delayMs > 0) {
            oz::testing::StandinFaults faults;
            faults.delayMs = delayMs;
            server.setFaults(prefix, faults);
        }
        if (!server.isRunning()) server.start();
        oz::config::SiteConfig site;
        site.enabled = true;
        site.domain = server.siteDomain(prefix);
        site.user = standin.user;
        site.password = standin.password;
        site.keywordMethod = 3;
        site.tagMethod = 3;
        site.shortTitleMethod = 3;
        site.categoryIds = "1";
        site.fileFilter = "*.txt";
        const std::filesystem::path folder = std::filesystem::path(articles_.path().toStdString()) / prefix;
        std::filesystem::create_directories(folder);
        for (int n = 1; n <= articles; ++n) {
            std::ofstream(folder / ("a" + std::to_string(n) + ".txt"), std::ios::binary)
                << "标题" << n << "\r\n正文。\r\n";
        }
        site.articleDir = folder.string();
        return site;
    }

    oz::testing::StandinServer server;
    QTemporaryDir data_;
    QTemporaryDir articles_;
    oz::text::FakeClock clock;

   private slots:
    void cleanup() { server.stop(); }

    void runReportsOnWindowThread() {
        oz::ui::WindowRun run(data_.path().toStdString(), &clock);
        oz::config::SiteList list;
        list.sites = {addSite("w1", 2), addSite("w2", 3)};
        QList<Qt::HANDLE> threads;
        QList<RunState> states;
        int lines = 0;
        connect(&run, &oz::ui::WindowRun::logLine, this, [&](const oz::engine::LogEntry&) {
            ++lines;
            threads.append(QThread::currentThreadId());
        });
        connect(&run, &oz::ui::WindowRun::stateChanged, this, [&](RunState s) { states.append(s); });
        QSignalSpy opened(&run, &oz::ui::WindowRun::logOpened);
        QSignalSpy finished(&run, &oz::ui::WindowRun::siteFinished);
        QSignalSpy ended(&run, &oz::ui::WindowRun::runEnded);

        QVERIFY(run.startOrStop(list, oz::content::ListingMethod::Complete, false));
        QVERIFY(ended.wait(30000));
        QCOMPARE(opened.count(), 1);
        QVERIFY(QFileInfo::exists(opened.at(0).at(0).toString()));
        QCOMPARE(finished.count(), 2);
        const auto totals = ended.at(0).at(0).value<oz::engine::RunTotals>();
        QCOMPARE(totals.totalUpdated, 5);
        QVERIFY(lines > 5);
        QVERIFY(std::all_of(threads.begin(), threads.end(),
                            [](Qt::HANDLE t) { return t == QThread::currentThreadId(); }));
        QVERIFY(states.contains(RunState::Running));
        QTRY_COMPARE(states.last(), RunState::Idle);
        QCOMPARE(oz::ui::WindowRun::captionFor(run.state()), QStringLiteral("开始站群更新"));
    }

    // A second click stops gracefully; the window thread is never held while the sites are slow.
    void secondClickStops() {
        oz::ui::WindowRun run(data_.path().toStdString(), &clock);
        oz::config::SiteList list;
        list.sites = {addSite("w3", 50, 200)};
        QSignalSpy ended(&run, &oz::ui::WindowRun::runEnded);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(run.startOrStop(list, oz::content::ListingMethod::Fast, false));
        QVERIFY(timer.elapsed() < 100);
        QTRY_VERIFY(run.totalUpdated() >= 1);
        QVERIFY(!run.startOrStop(list, oz::content::ListingMethod::Fast, false));
        QCOMPARE(oz::ui::WindowRun::captionFor(run.state()), QStringLiteral("正在停止中.."));
        QVERIFY(ended.wait(10000));
        const auto totals = ended.at(0).at(0).value<oz::engine::RunTotals>();
        QVERIFY(totals.totalUpdated < 50);
        QCOMPARE(run.state(), RunState::Idle);
    }
};

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
