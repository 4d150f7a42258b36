#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace oz::ui {

class Dialogs;

// What the caller asks of the text window besides the text, the hint and the title.
struct TextDialogOptions {
    QString restoreValue;         // what "恢复" puts back; empty: "启动值为空！"
    bool inputMode = true;        // false: a read-only display with "关闭(&G)" only
    bool contentButton = false;   // "内容": append the content of chosen files
    bool fileNameButton = false;  // "文件名": append the paths of chosen files
    bool scrollBars = true;
    bool wrapLines = false;  // long lines wrap at the box's width (a text to read, not a list)
    int margin = 5;          // below 1: 5
    int extraWidth = 0;
    int extraHeight = 0;
    bool maximized = false;
};

// The modal text window: enters or edits a multi-line list (input mode) or shows a long text
// (display mode), 495 × 393 (plus the extra size asked for) and centred on the screen. Returns true
// when "确定" was pressed; then `text` holds the box content with CR LF
// line ends. An empty hint or title takes the mode's default. While one text window is showing, a
// further request returns false at once and leaves `text` alone.
bool showTextDialog(QString& text, const QString& hint, const QString& title, QWidget* owner,
                    Dialogs& dialogs, const TextDialogOptions& options = {});

// Test hook: called with the dialog once it is showing (instead of waiting for the operator); the
// hook fills the boxes and clicks buttons by object name. An empty function removes it.
void setTextDialogTestHook(std::function<void(QDialog&)> hook);

class TextDialog final : public QDialog {
    Q_OBJECT
   public:
    TextDialog(const QString& text, const QString& hint, const QString& title, QWidget* owner,
               Dialogs& dialogs, const TextDialogOptions& options);

    // The box content with CR LF line ends.
    QString text() const;

    void accept() override;
    void reject() override;

   private:
    void putText(const QString& text);
    bool changed() const;
    void restore();
    void paste();
    void importFiles(bool contents);

    Dialogs& m_dialogs;
    const TextDialogOptions m_options;
    QString m_original;
    QLabel* m_hint = nullptr;
    QPlainTextEdit* m_body = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace oz::ui
