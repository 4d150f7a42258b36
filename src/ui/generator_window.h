#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tools/generator_control.h"
#include "ui/ui_services.h"

class QPlainTextEdit;

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

class SharedSettings;

// What the generator windows (随机文本生成器, 汉字拼音转换器) share: a top-level window owned by
// `parent` whose controls are kept in a section of the settings file named after its title, one
// worker thread at a time that the window's end stops, and boxes that show only the start of a
// text too long for them (long_text.h) while the whole is kept for the window's other actions.
class GeneratorWindow : public QWidget {
    Q_OBJECT
   public:
    ~GeneratorWindow() override;  // stops the worker and joins it

    bool isWorking() const { return m_worker.joinable(); }

   protected:
    GeneratorWindow(const UiServices& services, SharedSettings& settings, const QString& section,
                    QWidget* parent);

    // Runs `work` on the worker thread, after giving way to the window thread; its control stops
    // when requestStop was called or the window goes. The window joins the thread before it goes,
    // so `work` may queue calls on it.
    void startWorker(std::function<void(const tools::GeneratorControl&)> work);
    void requestStop() { m_stop = true; }
    void joinWorker();

    // Puts `text` into `box`, or its start when it is too long to show (then `whole` keeps it and
    // the box is read-only); `shown` runs once it is in (a long one goes in off this thread).
    // Returns whether the box shows only the start.
    static bool showLong(QPlainTextEdit* box, std::string text, std::string& whole,
                         const std::function<void()>& shown = {});

    // The controls from and into the window's section; `more` reads or writes further keys of it
    // in the same batch. A save that fails is said in a message box.
    void loadControls(const std::function<void(config::SettingsFile&)>& more = {});
    void saveControls(const std::function<void(config::SettingsFile&)>& more = {});

    UiServices m_services;
    SharedSettings& m_settings;
    const QString m_section;

   private:
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

}  // namespace oz::ui
