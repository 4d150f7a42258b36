#include "ui/batch_progress.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

#include "ui/site_list_access.h"

namespace oz::ui {

namespace {

// The progress of refreshing every list page: 域名 + " 已刷新栏目 " + n + " 个".
bool isListRefreshProgress(const QString& text) {
    static const QRegularExpression progress(QStringLiteral("^[^\\n]+ 已刷新栏目 [0-9]+ 个$"));
    return progress.match(text).hasMatch();
}

}  // namespace

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
    QPointer<QPushButton> button = m_button;
    QString caption = QString::fromStdString(text);
    caption.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QWidget* window = m_window;
    QMetaObject::invokeMethod(
        window,
        [window, button, caption, stopping = m_stopping] {
            if (isListRefreshProgress(caption)) {
                window->setWindowTitle(caption);
                return;
            }
            window->setWindowTitle(idleTitle());
            // A stop asked for stays visible until the operation has ended.
            if (!button || button->text() == stopping) return;
            button->setText(fittedCaption(*button, caption));
            button->setToolTip(caption);
        },
        Qt::QueuedConnection);
}

void BatchProgress::siteStarted(int index) {
    QMetaObject::invokeMethod(
        m_window, [&sites = m_sites, index] { sites.selectSite(index - 1); }, Qt::QueuedConnection);
}

}  // namespace oz::ui
