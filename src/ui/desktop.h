#pragma once

#include <QString>

namespace oz::ui {

// Effects outside the program: the default browser and the file manager. Tests record them.
class Desktop {
   public:
    virtual ~Desktop() = default;
    // False when no browser (or other handler) could be started for it.
    virtual bool openUrl(const QString& url) = 0;
    // Opens the file manager at `path`'s folder with the file or folder highlighted where the
    // file manager can (the folder alone otherwise).
    virtual void revealPath(const QString& path) = 0;
};

class QtDesktop final : public Desktop {
   public:
    bool openUrl(const QString& url) override;
    // Asks the file manager over D-Bus (org.freedesktop.FileManager1) without waiting for it;
    // when none answers, the folder is opened instead.
    void revealPath(const QString& path) override;
};

}  // namespace oz::ui
