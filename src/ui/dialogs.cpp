#include "ui/dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <algorithm>

namespace oz::ui {

QString messageTitle(const QString& caption) { return QStringLiteral("Orvane：") + caption; }

void reportSaveFailure(Dialogs& dialogs, QWidget* owner, const QString& error) {
    dialogs.message(owner, QStringLiteral("保存失败：") + error, {}, Dialogs::Buttons::Ok,
                    Dialogs::Icon::Warning);
}

Dialogs::Answer QtDialogs::message(QWidget* owner, const QString& text, const QString& caption,
                                   Buttons buttons, Icon icon) {
    QMessageBox box(owner);
    box.setWindowTitle(messageTitle(caption));
    // No box taller than the screen: the lines beyond what fits go to the details, which scroll.
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    const int lineHeight = box.fontMetrics().lineSpacing();
    const int room =
        screen == nullptr ? 40 : std::max(5, (screen->availableGeometry().height() - 240) / lineHeight);
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r?\n")));
    if (lines.size() > room) {
        box.setText(lines.mid(0, room - 1).join(QStringLiteral("\r\n")) +
                    QStringLiteral("\r\n……（全文见“显示详细信息”）"));
        box.setDetailedText(text);
    } else {
        box.setText(text);
    }
    box.setIcon(icon == Icon::Question  ? QMessageBox::Question
                : icon == Icon::Warning ? QMessageBox::Warning
                                        : QMessageBox::Information);
    switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            // Every yes-or-no question here guards something that cannot be undone: Enter says no.
            box.setDefaultButton(QMessageBox::No);
            break;
        case Buttons::RetryIgnore:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Ignore);
            box.setDefaultButton(QMessageBox::Retry);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Retry:
            return Answer::Retry;
        case QMessageBox::Ignore:
            return Answer::Ignore;
        default:
            return Answer::Cancel;
    }
}

QStringList QtDialogs::openFileNames(QWidget* owner, const QString& title, const QString& filter,
                                     const QString& start) {
    return QFileDialog::getOpenFileNames(owner, title, start, filter);
}

QString QtDialogs::openFileName(QWidget* owner, const QString& title, const QString& filter,
                                const QString& start) {
    return QFileDialog::getOpenFileName(owner, title, start, filter);
}

QString QtDialogs::saveFileName(QWidget* owner, const QString& title, const QString& filter,
                                const QString& start, const QString& defaultSuffix, bool confirmOverwrite) {
    QFileDialog dialog(owner, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString QtDialogs::existingFolder(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start);
}

bool QtDialogs::chooseColor(QWidget* owner, const QString& title, QColor& color) {
    const QColor chosen = QColorDialog::getColor(color, owner, title);
    if (!chosen.isValid()) return false;
    color = chosen;
    return true;
}

}  // namespace oz::ui
