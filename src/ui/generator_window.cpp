#include "ui/generator_window.h"

#include <QPlainTextEdit>

#include "config/settings_file.h"
#include "ui/background_work.h"
#include "ui/control_state.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/long_text.h"
#include "ui/shared_settings.h"

namespace oz::ui {

GeneratorWindow::GeneratorWindow(const UiServices& services, SharedSettings& settings, const QString& section,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_settings(settings), m_section(section) {
    setWindowTitle(section);
}

GeneratorWindow::~GeneratorWindow() {
    m_stop = true;
    joinWorker();
}

void GeneratorWindow::startWorker(std::function<void(const tools::GeneratorControl&)> work) {
    m_stop = false;
    m_worker = std::thread([this, work = std::move(work)] {
        giveWayToTheWindowThread();
        tools::GeneratorControl control;
        control.stopRequested = [this] { return m_stop.load(); };
        work(control);
    });
}

void GeneratorWindow::joinWorker() {
    if (m_worker.joinable()) m_worker.join();
}

bool GeneratorWindow::showLong(QPlainTextEdit* box, std::string text, std::string& whole,
                               const std::function<void()>& shown) {
    const std::size_t length = shownLength(text);
    const bool cut = length < text.size();
    // What the box shows is not the text any more, so it cannot be edited as if it were.
    setBoxText(box, QString::fromUtf8(text.data(), static_cast<qsizetype>(length)), shown, cut);
    whole = cut ? std::move(text) : std::string();
    return cut;
}

void GeneratorWindow::loadControls(const std::function<void(config::SettingsFile&)>& more) {
    config::SettingsFile& settings = m_settings.file();
    loadWindow(settings, this, m_section);
    if (more) more(settings);
}

void GeneratorWindow::saveControls(const std::function<void(config::SettingsFile&)>& more) {
    config::SettingsFile& settings = m_settings.file();
    settings.beginBatch();
    bool saved = saveWindow(settings, this, m_section);
    if (more) more(settings);
    saved = settings.endBatch() && saved;
    if (!saved && m_services.dialogs != nullptr)
        reportSaveFailure(*m_services.dialogs, this, QString::fromStdString(settings.lastError()));
}

}  // namespace oz::ui
