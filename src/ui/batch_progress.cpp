#include "ui/batch_progress.h"

#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include "ui/site_list_access.h"

namespace oz::ui {

BatchProgress::BatchProgress(QPushButton* button, QString stopping, QWidget* window, SiteListAccess& sites)
    : m_button(button), m_stopping(std::move(stopping)), m_window(window), m_sites(sites) {}

QString BatchProgress::idleTitle() { return QStringLiteral("批处理工具"); }

QString BatchProgress::fittedCaption(const QPushButton& button, const QString& text) {
    const QFontMetrics metrics(button.font());
    const int width = std::max(24, button.width() - 16);
    QStringList lines = text.split(QChar('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i)
        lines[i] = metrics.elidedText(lines[i], i == 0 ? Qt::ElideMiddle : Qt::ElideRight, width);
    return lines.join(QChar('\n'));
}

void BatchProgress::caption(const std::string& text) {
    QString caption = QString::fromStdString(text);
    caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    bool queued = false;
    {
        std::lock_guard lock(m_waiting->mutex);
        queued = m_waiting->text.has_value();
        m_waiting->text = std::move(caption);
    }
    if (queued) return;
    QMetaObject::invokeMethod(
        m_window,
        [button = m_button, waiting = m_waiting, stopping = m_stopping] {
            QString latest;
            {
                std::lock_guard lock(waiting->mutex);
                latest = waiting->text.value_or(QString());
                waiting->text.reset();
            }
            // A stop asked for stays visible until the operation has ended.
            if (!button || button->text() == stopping) return;
            button->setText(fittedCaption(*button, latest));
            button->setToolTip(latest);
        },
        Qt::QueuedConnection);
}

void BatchProgress::listRefreshProgress(const std::string& text) {
    QWidget* window = m_window;
    const QString title = text.empty() ? idleTitle() : QString::fromStdString(text);
    QMetaObject::invokeMethod(
        window, [window, title] { window->setWindowTitle(title); }, Qt::QueuedConnection);
}

void BatchProgress::siteStarted(int index) {
    QMetaObject::invokeMethod(
        m_window, [&sites = m_sites, index] { sites.selectSite(index - 1); }, Qt::QueuedConnection);
}

}  // namespace oz::ui
