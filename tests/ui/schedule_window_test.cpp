#include "ui/schedule_window.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "schedule/schedule_file.h"
#include "tests/ui/ui_fakes.h"
#include "text/fake_clock.h"

using oz::text::DateTime;

class ScheduleWindowTest : public QObject {
    Q_OBJECT

    template <typename T>
    static T* child(QWidget& w, const char* name) {
        return w.findChild<T*>(QString::fromUtf8(name));
    }

   private slots:
    // A daily time point fires once at its second while idle, never while a run is going; the
    // start/stop captions follow the scheduler; the list survives in the schedule file.
    void timePointStartsOneRunAndStops() {
        oz::test::UiTestServices fakes;
        oz::text::FakeClock clock(DateTime{2024, 5, 7, 12, 12, 10});
        auto services = fakes.services();
        services.clock = &clock;
        bool running = false;
        QList<oz::content::ListingMethod> starts;
        QList<oz::ui::ScheduleOptions> saved;
        oz::ui::ScheduleHooks hooks{[&] { return running; },
                                    [&](oz::content::ListingMethod m) { starts << m; },
                                    [&](const oz::ui::ScheduleOptions& o) { saved << o; }};
        oz::ui::ScheduleWindow window(services, hooks);
        window.loadSchedule({false, true, false});
        QVERIFY(child<QRadioButton>(window, "单选框鼠标右键")->isChecked());

        child<QLineEdit>(window, "编辑框时间")->setText("12:12:12");
        child<QPushButton>(window, "按钮添加")->click();
        child<QCheckBox>(window, "选择框日期")->setChecked(true);
        child<QPushButton>(window, "按钮添加")->click();  // today's 12:12:12 as well: still one run
        auto* list = child<QListWidget>(window, "列表框计划列表");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), QStringLiteral("2024-05-07 12:12:12"));

        auto* start = child<QPushButton>(window, "按钮开始任务");
        QCOMPARE(start->text(), QStringLiteral("开始任务"));
        start->click();
        QCOMPARE(start->text(), QStringLiteral("停止任务"));
        QCOMPARE(saved.size(), 1);
        QVERIFY(saved.at(0).autoStart && !saved.at(0).completeListing && saved.at(0).dateChecked);

        window.scheduleTick();
        clock.setNow(DateTime{2024, 5, 7, 12, 12, 11});
        window.scheduleTick();
        QVERIFY(starts.isEmpty());
        clock.setNow(DateTime{2024, 5, 7, 12, 12, 12});
        window.scheduleTick();
        QCOMPARE(starts, QList<oz::content::ListingMethod>{oz::content::ListingMethod::Fast});
        QCOMPARE(child<QPushButton>(window, "按钮使用前必看")->text(), QStringLiteral("到点更新\n12:12:12"));
        QCOMPARE(child<QLineEdit>(window, "编辑框时间")->text(), QStringLiteral("12:12:12"));

        // The next day at that second a run is still going: skipped, not queued.
        running = true;
        clock.setNow(DateTime{2024, 5, 8, 12, 12, 12});
        window.scheduleTick();
        running = false;
        clock.setNow(DateTime{2024, 5, 8, 12, 12, 13});
        window.scheduleTick();
        QCOMPARE(starts.size(), 1);

        start->click();
        QCOMPARE(start->text(), QStringLiteral("停止中.."));
        window.scheduleTick();
        QCOMPARE(start->text(), QStringLiteral("开始任务"));
        QCOMPARE(child<QPushButton>(window, "按钮使用前必看")->text(), QStringLiteral("使用前必看"));

        const auto stored = oz::schedule::loadSchedule(oz::schedule::scheduleFilePath(services.dataDir));
        QCOMPARE(stored.size(), std::size_t{2});
        QCOMPARE(stored.at(0).text, std::string("12:12:12"));

        // Clearing asks first; No keeps the list.
        child<QPushButton>(window, "按钮清空")->click();
        QCOMPARE(list->count(), 2);
        fakes.dialogs.answers.push_back(oz::ui::Dialogs::Answer::Yes);
        child<QPushButton>(window, "按钮清空")->click();
        QCOMPARE(list->count(), 0);
        QCOMPARE(fakes.dialogs.messages.at(0).text, QStringLiteral("确定要全部删除时间点吗？"));
    }

    // 修改 refuses a time that is none, as 添加时间点 does; before, a row "abc" was kept and never
    // fired.
    void modifyChecksTheTime() {
        oz::test::UiTestServices fakes;
        oz::ui::ScheduleWindow window(fakes.services(), {});
        child<QLineEdit>(window, "编辑框时间")->setText("08:00:00");
        child<QPushButton>(window, "按钮添加")->click();
        child<QLineEdit>(window, "编辑框时间")->setText("abc");
        child<QPushButton>(window, "按钮修改")->click();
        auto* list = child<QListWidget>(window, "列表框计划列表");
        QCOMPARE(list->item(0)->text(), QStringLiteral("08:00:00"));
        QCOMPARE(fakes.dialogs.messages.size(), 1);
        QVERIFY(fakes.dialogs.messages.at(0).text.startsWith(QStringLiteral("时间格式不正确")));
        child<QLineEdit>(window, "编辑框时间")->setText("09:30:00");
        child<QPushButton>(window, "按钮修改")->click();
        QCOMPARE(list->item(0)->text(), QStringLiteral("09:30:00"));
    }
};

QTEST_MAIN(ScheduleWindowTest)
#include "schedule_window_test.moc"
