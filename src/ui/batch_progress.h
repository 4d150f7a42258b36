#pragma once

#include <QPointer>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "backend/batch_site_loop.h"

class QPushButton;
class QWidget;

namespace oz::ui {

class SiteListAccess;

// What a running batch operation reports, handed to the window thread: the progress captions go
// on the action's button (each line cut to its width, the whole text in its tooltip), the
// progress of refreshing all list pages goes into the window's title, and the main window's list
// follows the operation from site to site. Called on the worker thread; the calls are queued on
// the window, so they die with it, and the button may be gone by then.
class BatchProgress final : public backend::BatchObserver {
   public:
    BatchProgress(QPushButton* button, QString stopping, QWidget* window, SiteListAccess& sites);

    void caption(const std::string& text) override;
    void siteStarted(int index) override;
    void listRefreshProgress(const std::string& text) override;

    // The title the window has while no list pages are being refreshed.
    static QString idleTitle();
    // The button's caption for `text` (lines separated by "\n"): each line elided to the button's
    // width, a domain in its middle, any other line at its end.
    static QString fittedCaption(const QPushButton& button, const QString& text);

   private:
    // The latest caption not yet shown: a fast operation's captions (one per line of a bulk
    // import) reach the button in one queued call, not in a thousand.
    struct WaitingCaption {
        std::mutex mutex;
        std::optional<QString> text;
    };

    QPointer<QPushButton> m_button;
    std::shared_ptr<WaitingCaption> m_waiting = std::make_shared<WaitingCaption>();
    const QString m_stopping;
    QWidget* m_window;
    SiteListAccess& m_sites;
};

}  // namespace oz::ui
