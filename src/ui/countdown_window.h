#pragma once

#include <QDialog>
#include <cstdint>

#include "schedule/shutdown_countdown.h"
#include "ui/background_work.h"

class QLabel;
class QPushButton;
class QTimer;

namespace oz::ui {

class Dialogs;
struct UiServices;

// "更新完毕，准备关机..": counts 30 seconds down on the injected clock, then asks the injected power
// control for a power-off half a second later. "立即关机！" asks at once; "停止关机！" ends it. The
// request runs on a thread of its own (the system may take half a minute to answer), while the
// window stays live and says it is waiting; it cannot be closed until the answer. A refused
// power-off is said and closes the window; after an accepted one the window still closes
// (停止关机, Esc, the title bar), since the system, not the window, ends the program.
class CountdownWindow final : public QDialog {
    Q_OBJECT
   public:
    CountdownWindow(schedule::PowerControl& power, const text::Clock& clock, Dialogs& dialogs,
                    QWidget* owner = nullptr);

    const schedule::ShutdownCountdown& countdown() const { return m_countdown; }
    QString labelText() const;
    // Closing the window (Esc, the title bar) stops the countdown as "停止关机！" does.
    void reject() override { stopShutdown(); }

    // Opens the window modally over `owner` and returns when it closes; true when the power-off was
    // requested and accepted.
    static bool shutdownCountdown(QWidget* owner, const UiServices& services);

   private:
    void poll();
    // Starts the power-off request unless stopped or made already (`afterZero`: the countdown's own).
    void requestPowerOff(bool afterZero);
    void powerOffAnswered(bool accepted);
    void stopShutdown();

    schedule::ShutdownCountdown m_countdown;
    const text::Clock& m_clock;
    Dialogs& m_dialogs;
    QLabel* m_label = nullptr;
    QPushButton* m_now = nullptr;
    QPushButton* m_stop = nullptr;
    QTimer* m_timer = nullptr;
    std::int64_t m_nextTick = 0;
    std::int64_t m_zeroAt = -1;      // tick of reaching zero; the power-off follows 500 ms later
    BackgroundWork m_request{this};  // the power-off request while the system has not answered
};

}  // namespace oz::ui
