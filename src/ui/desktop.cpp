#include "ui/desktop.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace oz::ui {

bool QtDesktop::openUrl(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

void QtDesktop::revealPath(const QString& path) {
    const QFileInfo info(path);
    const QString uri = QUrl::fromLocalFile(info.absoluteFilePath()).toString();
    const QUrl folder = QUrl::fromLocalFile(info.absolutePath());
    // With --print-reply dbus-send waits for the answer and ends with an error status when no file
    // manager gives one (no session bus, no such service); only then is the folder opened instead.
    // A started dbus-send alone says nothing about that.
    auto* ask = new QProcess(qApp);
    QObject::connect(ask, &QProcess::finished, ask, [ask, folder](int code, QProcess::ExitStatus status) {
        if (code != 0 || status != QProcess::NormalExit) QDesktopServices::openUrl(folder);
        ask->deleteLater();
    });
    QObject::connect(ask, &QProcess::errorOccurred, ask, [ask, folder](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;  // the other errors end in finished
        QDesktopServices::openUrl(folder);
        ask->deleteLater();
    });
    ask->start(QStringLiteral("dbus-send"),
               {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                QStringLiteral("--reply-timeout=5000"), QStringLiteral("--dest=org.freedesktop.FileManager1"),
                QStringLiteral("/org/freedesktop/FileManager1"),
                QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                QStringLiteral("array:string:") + uri, QStringLiteral("string:")});
}

}  // namespace oz::ui
