#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

namespace oz::ui {

// Message boxes and file choosers behind one interface, so that tests answer them in advance and
// never block on a modal loop.
class Dialogs {
   public:
    enum class Buttons { Ok, OkCancel, YesNo, RetryIgnore };
    enum class Answer { Ok, Cancel, Yes, No, Retry, Ignore };
    enum class Icon { Information, Question, Warning };

    virtual ~Dialogs() = default;

    // A message box titled "Orvane：" + caption ("Orvane：" alone when the caption is empty).
    virtual Answer message(QWidget* owner, const QString& text, const QString& caption = {},
                           Buttons buttons = Buttons::Ok, Icon icon = Icon::Information) = 0;
    // `filter` is in Qt's form ("配置文件 (*.ini);;全部文件 (*)"). Empty results mean cancelled.
    virtual QStringList openFileNames(QWidget* owner, const QString& title, const QString& filter,
                                      const QString& start) = 0;
    virtual QString openFileName(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& start) = 0;
    // `confirmOverwrite` false: the caller asks its own question about an existing file.
    virtual QString saveFileName(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& start, const QString& defaultSuffix,
                                 bool confirmOverwrite = true) = 0;
    virtual QString existingFolder(QWidget* owner, const QString& title, const QString& start) = 0;
    // The colour dialog, starting at `color`; false when cancelled (then `color` is unchanged).
    virtual bool chooseColor(QWidget* owner, const QString& title, QColor& color) = 0;
};

// The title every message box carries: "Orvane：" + caption.
QString messageTitle(const QString& caption);

// A save that failed, in a warning box: "保存失败：" + `error`, which names the file and the reason.
void reportSaveFailure(Dialogs& dialogs, QWidget* owner, const QString& error);

// The real dialogs (QMessageBox, QFileDialog).
class QtDialogs final : public Dialogs {
   public:
    Answer message(QWidget* owner, const QString& text, const QString& caption, Buttons buttons,
                   Icon icon) override;
    QStringList openFileNames(QWidget* owner, const QString& title, const QString& filter,
                              const QString& start) override;
    QString openFileName(QWidget* owner, const QString& title, const QString& filter,
                         const QString& start) override;
    QString saveFileName(QWidget* owner, const QString& title, const QString& filter, const QString& start,
                         const QString& defaultSuffix, bool confirmOverwrite) override;
    QString existingFolder(QWidget* owner, const QString& title, const QString& start) override;
    bool chooseColor(QWidget* owner, const QString& title, QColor& color) override;
};

}  // namespace oz::ui
