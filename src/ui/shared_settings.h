#pragma once

#include <QObject>
#include <functional>

#include "ui/background_work.h"

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

// The settings file as the windows of the program share it, on the window thread. The global save
// writes it on a thread of its own (it takes a tenth of a second and more with a thousand sites);
// file() waits for such a save first, so nothing else touches the file meanwhile. Saves started
// here report to `receiver`, which must outlive them (its owner ends them with this object).
class SharedSettings {
   public:
    explicit SharedSettings(config::SettingsFile& file, QObject* receiver = nullptr)
        : m_file(file), m_save(receiver) {}

    config::SettingsFile& file() const {
        m_save.wait();
        return m_file;
    }
    // A background save is going (until its `done` has run).
    bool isSaving() const { return m_save.busy(); }
    // Runs `save` on a thread of its own; `done` then gets its result on the receiver's thread.
    void saveInBackground(std::function<bool(config::SettingsFile&)> save, std::function<void(bool)> done) {
        m_save.start<bool>([this, save = std::move(save)] { return save(m_file); }, std::move(done));
    }

   private:
    config::SettingsFile& m_file;
    mutable BackgroundWork m_save;  // waiting for it changes nothing a caller sees
};

}  // namespace oz::ui
