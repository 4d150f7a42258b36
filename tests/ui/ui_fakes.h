#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <filesystem>

#include "schedule/power_control.h"
#include "text/clock.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"
#include "ui/ui_services.h"

namespace oz::test {

// Answers every dialog from queues filled in advance and records what was asked; an empty queue
// answers Cancel / No / an empty name, so a test never blocks on a modal loop.
class ScriptedDialogs final : public ui::Dialogs {
   public:
    struct Message {
        QString text;
        QString title;  // with the "Orvane：" prefix
    };
    std::deque<Answer> answers;
    std::deque<QStringList> fileNames;  // for openFileNames / openFileName / saveFileName
    std::deque<QString> folders;
    std::deque<QColor> colors;
    QList<bool> overwriteConfirmed;  // saveFileName's confirmOverwrite, in order
    QList<Message> messages;
    QStringList fileTitles;  // titles of the file and folder choosers, in order

    Answer message(QWidget*, const QString& text, const QString& caption = {}, Buttons buttons = Buttons::Ok,
                   Icon = Icon::Information) override {
        messages.append({text, ui::messageTitle(caption)});
        if (answers.empty()) {
            return buttons == Buttons::YesNo         ? Answer::No
                   : buttons == Buttons::Ok          ? Answer::Ok
                   : buttons == Buttons::RetryIgnore ? Answer::Ignore
                                                     : Answer::Cancel;
        }
        const Answer next = answers.front();
        answers.pop_front();
        return next;
    }
    QStringList openFileNames(QWidget*, const QString& title, const QString&, const QString&) override {
        return nextFiles(title);
    }
    QString openFileName(QWidget*, const QString& title, const QString&, const QString&) override {
        const QStringList files = nextFiles(title);
        return files.isEmpty() ? QString() : files.front();
    }
    QString saveFileName(QWidget*, const QString& title, const QString&, const QString&, const QString&,
                         bool confirmOverwrite) override {
        overwriteConfirmed.append(confirmOverwrite);
        const QStringList files = nextFiles(title);
        return files.isEmpty() ? QString() : files.front();
    }
    bool chooseColor(QWidget*, const QString& title, QColor& color) override {
        fileTitles.append(title);
        if (colors.empty()) return false;
        color = colors.front();
        colors.pop_front();
        return true;
    }
    QString existingFolder(QWidget*, const QString& title, const QString&) override {
        fileTitles.append(title);
        if (folders.empty()) return {};
        const QString next = folders.front();
        folders.pop_front();
        return next;
    }

   private:
    QStringList nextFiles(const QString& title) {
        fileTitles.append(title);
        if (fileNames.empty()) return {};
        const QStringList next = fileNames.front();
        fileNames.pop_front();
        return next;
    }
};

// Records what would have been opened in the browser or the file manager; `browserWorks` false
// plays a system without a browser.
class RecordingDesktop final : public ui::Desktop {
   public:
    QStringList urls;
    QStringList revealed;
    bool browserWorks = true;
    bool openUrl(const QString& url) override {
        urls.append(url);
        return browserWorks;
    }
    void revealPath(const QString& path) override { revealed.append(path); }
};

// Counts power-off requests instead of making them; answers as the system would, accepting or
// refusing (as polkit may).
class CountingPower final : public schedule::PowerControl {
   public:
    int requests = 0;
    bool accepts = true;
    bool powerOff() override {
        ++requests;
        return accepts;
    }
};

// A temporary data folder with fake services around it.
struct UiTestServices {
    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    CountingPower power;

    ui::UiServices services() {
        return {std::filesystem::path(folder.path().toStdString()), &dialogs, &desktop, &power,
                &text::systemClock()};
    }
};

}  // namespace oz::test
