#include "ui/countdown_window.h"

#include <QPushButton>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "tests/ui/ui_fakes.h"
#include "text/fake_clock.h"

using namespace std::chrono_literals;

namespace {

// A system that takes its time to answer, as logind or polkit may: the answer waits until the
// test gives it (or 3 s have passed).
class SlowPower final : public oz::schedule::PowerControl {
   public:
    std::atomic<bool> asked{false};
    std::atomic<bool> askedOnWindowThread{false};
    std::atomic<int> requests{0};
    bool powerOff() override {
        askedOnWindowThread = QThread::currentThread() == qApp->thread();
        ++requests;
        asked = true;
        std::unique_lock lock(m_mutex);
        m_answered.wait_for(lock, 3s, [this] { return m_answer.has_value(); });
        return m_answer.value_or(false);
    }
    void answer(bool accept) {
        {
            std::lock_guard lock(m_mutex);
            m_answer = accept;
        }
        m_answered.notify_all();
    }

   private:
    std::mutex m_mutex;
    std::condition_variable m_answered;
    std::optional<bool> m_answer;
};

}  // namespace

// The countdown on a fake clock with a counting power control: nothing here can power off.
class CountdownWindowTest : public QObject {
    Q_OBJECT
    oz::test::CountingPower power;
    oz::test::ScriptedDialogs dialogs;
    oz::text::FakeClock clock;

    void advanceSeconds(oz::ui::CountdownWindow& window, int seconds) {
        for (int i = 0; i < seconds; ++i) {
            clock.advance(1000ms);
            QTest::qWait(60);
        }
        (void)window;
    }

   private slots:
    void init() {
        power.requests = 0;
        power.accepts = true;
        dialogs = {};
    }

    void countsDownAndPowersOffHalfASecondAfterZero() {
        oz::ui::CountdownWindow window(power, clock, dialogs);
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("更新完毕，准备关机.."));
        QCOMPARE(window.labelText(), QStringLiteral("距离关机还有 30 秒"));
        advanceSeconds(window, 1);
        QCOMPARE(window.labelText(), QStringLiteral("距离关机还有 29 秒"));
        advanceSeconds(window, 29);
        QCOMPARE(window.labelText(), QStringLiteral("距离关机还有 0 秒"));
        QCOMPARE(power.requests, 0);
        clock.advance(400ms);
        QTest::qWait(80);
        QCOMPARE(power.requests, 0);
        clock.advance(100ms);
        QTRY_COMPARE(power.requests, 1);
        advanceSeconds(window, 2);
        QCOMPARE(power.requests, 1);
    }

    void stopAtTwelveKeepsTheComputerOn() {
        oz::ui::CountdownWindow window(power, clock, dialogs);
        window.show();
        advanceSeconds(window, 18);
        QCOMPARE(window.labelText(), QStringLiteral("距离关机还有 12 秒"));
        window.findChild<QPushButton*>(QStringLiteral("按钮停止"))->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("已停止关机倒计时！"));
        QVERIFY(!window.isVisible());
        advanceSeconds(window, 13);
        QCOMPARE(power.requests, 0);
    }

    void shutdownNowAsksOnce() {
        oz::ui::CountdownWindow window(power, clock, dialogs);
        window.show();
        auto* now = window.findChild<QPushButton*>(QStringLiteral("按钮立即"));
        QCOMPARE(now->text(), QStringLiteral("立即关机！"));
        now->click();
        now->click();
        advanceSeconds(window, 31);
        QTRY_COMPARE(power.requests, 1);
    }

    // The request waits for the system's answer off the window thread: the window stays live,
    // says it is waiting and cannot be closed meanwhile. Before, the click (or the countdown at
    // zero) froze the program for as long as systemctl took. A refusal (polkit) is then said and
    // the window closes; before that, the window had stayed modal with every button dead.
    void powerOffRequestKeepsTheWindowLive_data() {
        QTest::addColumn<bool>("atZero");
        QTest::newRow("立即关机") << false;
        QTest::newRow("countdown at zero") << true;
    }
    void powerOffRequestKeepsTheWindowLive() {
        QFETCH(bool, atZero);
        SlowPower slow;
        oz::ui::CountdownWindow window(slow, clock, dialogs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (atZero) {
            advanceSeconds(window, 31);
        } else {
            QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("按钮立即")), Qt::LeftButton);
        }
        QTRY_VERIFY(slow.asked);
        QVERIFY(!slow.askedOnWindowThread);
        QCOMPARE(window.labelText(), QStringLiteral("正在请求关机，等待系统答复.."));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());
        slow.answer(false);
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(slow.requests.load(), 1);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("系统拒绝了关机请求，电脑不会关机。"));
    }

    // After an accepted request the window still closes, by each of its ways, without asking again.
    void acceptedPowerOffLeavesTheWindowClosable_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("停止关机 button") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("title bar") << 2;
    }
    void acceptedPowerOffLeavesTheWindowClosable() {
        QFETCH(int, way);
        oz::ui::CountdownWindow window(power, clock, dialogs);
        window.show();
        window.findChild<QPushButton*>(QStringLiteral("按钮立即"))->click();
        QTRY_COMPARE(window.labelText(), QStringLiteral("已请求关机，正在关机.."));
        QCOMPARE(power.requests, 1);
        QVERIFY(window.isVisible());
        if (way == 0) window.findChild<QPushButton*>(QStringLiteral("按钮停止"))->click();
        if (way == 1) QTest::keyClick(&window, Qt::Key_Escape);
        if (way == 2) window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(power.requests, 1);
        QVERIFY(dialogs.messages.isEmpty());
    }
};

QTEST_MAIN(CountdownWindowTest)
#include "countdown_window_test.moc"
