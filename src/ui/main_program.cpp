#include "ui/main_program.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <iostream>

#include "config/data_folder.h"
#include "config/settings_file.h"
#include "schedule/power_control.h"
#include "text/clock.h"
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
    if (!settings.open(dataDir / config::kSettingsFileName)) {
        dialogs.message(nullptr, QString::fromStdString(settings.lastError()), {}, Dialogs::Buttons::Ok,
                        Dialogs::Icon::Warning);
        std::cerr << settings.lastError() << "\n";
        return 2;
    }
    MainWindow window(settings, UiServices{dataDir, &dialogs, &desktop, &power, &text::systemClock()});
    window.show();
    return QApplication::exec();
}

}  // namespace oz::ui
