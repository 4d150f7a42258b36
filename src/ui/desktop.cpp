#include "ui/desktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace oz::ui {

void QtDesktop::openUrl(const QString& url) { QDesktopServices::openUrl(QUrl(url)); }

void QtDesktop::revealPath(const QString& path) {
    // File managers that speak the freedesktop FileManager1 interface highlight the file; where
    // none answers, the containing folder is opened.
    const QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString();
    const bool shown = QProcess::startDetached(
        QStringLiteral("dbus-send"),
        {QStringLiteral("--session"), QStringLiteral("--dest=org.freedesktop.FileManager1"),
         QStringLiteral("--type=method_call"), QStringLiteral("/org/freedesktop/FileManager1"),
         QStringLiteral("org.freedesktop.FileManager1.ShowItems"), QStringLiteral("array:string:") + uri,
         QStringLiteral("string:")});
    if (!shown) QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

}  // namespace oz::ui
