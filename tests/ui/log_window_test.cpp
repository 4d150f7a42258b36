#include "ui/log_window.h"

#include <QPushButton>
#include <QtTest>

#include "tests/ui/ui_fakes.h"

namespace {

oz::engine::LogEntry line(int n) {
    oz::engine::LogEntry entry;
    entry.time = "09:03:02";
    entry.siteLabel = "全局";
    entry.text = "第" + std::to_string(n) + "行";
    return entry;
}

}  // namespace

class LogWindowTest : public QObject {
    Q_OBJECT
   private slots:
    void locateButtonNamesAndRevealsTheFile() {
        oz::test::RecordingDesktop desktop;
        oz::ui::LogWindow window(desktop);
        auto* locate = window.findChild<QPushButton*>(QStringLiteral("按钮定位日志"));
        QCOMPARE(locate->text(), QStringLiteral("开始采集之后才有日志"));
        locate->click();
        QVERIFY(desktop.revealed.isEmpty());

        window.append(line(1));
        QCoreApplication::processEvents();
        const QString file = QStringLiteral("/数据/日志/2024-05-07 09-03-02.txt");
        window.startLog(file);
        QCOMPARE(window.model().rowCount(), 0);
        QCOMPARE(locate->text(), QStringLiteral("点击定位日志文件：2024-05-07 09-03-02.txt"));
        locate->click();
        QCOMPARE(desktop.revealed, QStringList{file});
    }

    // Lines arrive in one batch per event-loop turn; a full ring drops the oldest.
    void batchesAndRing() {
        oz::ui::LogModel model(5);
        for (int n = 1; n <= 8; ++n) model.append(line(n));
        QCOMPARE(model.rowCount(), 0);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QCoreApplication::processEvents();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("第4行"));
        model.append(line(9));
        model.flush();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("第5行"));
        QCOMPARE(model.index(4, 1).data().toString(), QStringLiteral("全局"));
    }
};

QTEST_MAIN(LogWindowTest)
#include "log_window_test.moc"
