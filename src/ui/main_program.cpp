#include "ui/main_program.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <iostream>

#include "config/data_folder.h"
#include "config/settings_file.h"
#include "schedule/power_control.h"
#include "text/clock.h"
#include "text/path_text.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/window_run.h"

namespace oz::ui {

void installQtTranslations() {
    // Qt's own texts (the buttons of message boxes, the file dialogs) in the system's language,
    // else in Chinese as the rest of the program; the files come with qt6-translations-l10n.
    static QTranslator translator;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
        translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                        QStringLiteral("_"), folder)) {
        QCoreApplication::installTranslator(&translator);
    }
}

bool openSettingsForWindow(config::SettingsFile& settings, const std::filesystem::path& dataDir,
                           std::string& problem) {
    const std::filesystem::path file = dataDir / config::kSettingsFileName;
    if (settings.open(file)) return true;
    problem = settings.lastError();
    const QFileInfo folder(QString::fromStdString(text::pathText(dataDir)));
    if (!folder.isDir() || folder.isWritable()) return false;
    if (!settings.open(file, config::SettingsFile::Mode::ReadOnly)) {
        problem = settings.lastError();
        return false;
    }
    return true;
}

int runWindowProgram(int argc, char** argv, const std::filesystem::path& dataDir) {
    QApplication app(argc, argv);
    installQtTranslations();
    QApplication::setApplicationName(QStringLiteral("Orvane·Zentrel"));
    // Wayland desktops match the window to its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("orvane-zentrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orvane-zentrel.png")));
    QApplication::setQuitOnLastWindowClosed(true);
    registerRunMetaTypes();

    QtDialogs dialogs;
    QtDesktop desktop;
    schedule::SystemPowerControl power;
    config::SettingsFile settings;
    std::string problem;
    if (!openSettingsForWindow(settings, dataDir, problem)) {
        dialogs.message(nullptr, QString::fromStdString(problem), {}, Dialogs::Buttons::Ok,
                        Dialogs::Icon::Warning);
        std::cerr << problem << "\n";
        return 2;
    }
    MainWindow window(settings, UiServices{dataDir, &dialogs, &desktop, &power, &text::systemClock()});
    window.show();
    return QApplication::exec();
}

}  // namespace oz::ui
