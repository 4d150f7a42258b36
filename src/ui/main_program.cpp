#include "ui/main_program.h"

#include <QApplication>
#include <QIcon>
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

int runWindowProgram(int argc, char** argv, const std::filesystem::path& dataDir) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane·Zentrel"));
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
