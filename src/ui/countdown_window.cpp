#include "ui/countdown_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "text/clock.h"
#include "ui/dialogs.h"
#include "ui/ui_services.h"

namespace oz::ui {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const QString kPowerOffRefusedMessage = QStringLiteral("系统拒绝了关机请求，电脑不会关机。");
const QString kPoweringOffText = QStringLiteral("已请求关机，正在关机..");
const QString kWaitingText = QStringLiteral("正在请求关机，等待系统答复..");

}  // namespace

CountdownWindow::CountdownWindow(schedule::PowerControl& power, const text::Clock& clock, Dialogs& dialogs,
                                 QWidget* owner)
    : QDialog(owner), m_countdown(power, clock), m_clock(clock), m_dialogs(dialogs) {
    setWindowTitle(qs(schedule::kCountdownTitle));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(qs(m_countdown.labelText()), this);
    m_label->setObjectName(QStringLiteral("标签1"));
    m_label->setAlignment(Qt::AlignCenter);
    QFont font = m_label->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    m_label->setFont(font);
    layout->addWidget(m_label);

    auto* buttons = new QHBoxLayout;
    m_now = new QPushButton(qs(schedule::kShutdownNowCaption), this);
    m_now->setObjectName(QStringLiteral("按钮立即"));
    m_stop = new QPushButton(qs(schedule::kStopShutdownCaption), this);
    m_stop->setObjectName(QStringLiteral("按钮停止"));
    m_stop->setDefault(true);  // Enter or Esc never powers off by accident
    // Wide enough for the title and for whole captions, whatever the font.
    for (QPushButton* button : {m_now, m_stop}) {
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 40);
        button->setMinimumHeight(32);
    }
    buttons->addWidget(m_now);
    buttons->addWidget(m_stop);
    layout->addLayout(buttons);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->setSpacing(14);
    setMinimumWidth(std::max(360, fontMetrics().horizontalAdvance(windowTitle()) + 160));
    connect(m_now, &QPushButton::clicked, this, [this] { requestPowerOff(false); });
    connect(m_stop, &QPushButton::clicked, this, &CountdownWindow::stopShutdown);

    // The seconds are counted on the clock; the timer only looks at it often.
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("时钟1"));
    m_timer->setInterval(50);
    connect(m_timer, &QTimer::timeout, this, &CountdownWindow::poll);
    m_nextTick = m_clock.tickMs() + schedule::ShutdownCountdown::kTickPeriod.count();
    m_timer->start();
    m_stop->setFocus();
}

QString CountdownWindow::labelText() const { return m_label->text(); }

void CountdownWindow::poll() {
    const std::int64_t now = m_clock.tickMs();
    if (m_zeroAt >= 0) {
        if (now - m_zeroAt >= schedule::ShutdownCountdown::kPowerOffDelay.count()) requestPowerOff(true);
        return;
    }
    while (now >= m_nextTick && m_zeroAt < 0) {
        const bool zero = m_countdown.tick();
        m_label->setText(qs(m_countdown.labelText()));
        m_nextTick += schedule::ShutdownCountdown::kTickPeriod.count();
        if (zero) m_zeroAt = now;
        if (m_countdown.state() != schedule::CountdownState::Counting && !zero) {
            m_timer->stop();
            return;
        }
    }
}

void CountdownWindow::requestPowerOff(bool afterZero) {
    m_timer->stop();
    if (!m_countdown.beginPowerOff(afterZero)) return;  // stopped, or asked already
    m_now->setEnabled(false);
    m_stop->setEnabled(false);
    m_label->setText(kWaitingText);
    m_request.start<bool>([this] { return m_countdown.askSystem(); },
                          [this](bool accepted) { powerOffAnswered(accepted); });
}

void CountdownWindow::powerOffAnswered(bool accepted) {
    if (!accepted) {
        // Refused (polkit, say): the machine stays on, and the program goes on with it.
        m_dialogs.message(this, kPowerOffRefusedMessage, {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        accept();
        return;
    }
    // The system is shutting down; until it ends the program, the window can still be closed.
    m_label->setText(kPoweringOffText);
    m_stop->setText(QStringLiteral("关闭"));
    m_stop->setEnabled(true);
}

void CountdownWindow::stopShutdown() {
    if (m_request.busy()) return;  // the system is answering; the window waits for it
    m_timer->stop();
    // After the power-off request nothing is left to stop: the window only closes.
    if (m_countdown.stop()) m_dialogs.message(this, qs(schedule::kShutdownStoppedMessage));
    accept();
}

bool CountdownWindow::shutdownCountdown(QWidget* owner, const UiServices& services) {
    CountdownWindow window(*services.power, services.clock != nullptr ? *services.clock : text::systemClock(),
                           *services.dialogs, owner);
    window.exec();
    return window.countdown().state() == schedule::CountdownState::PoweringOff &&
           window.countdown().powerOffAccepted();
}

}  // namespace oz::ui
