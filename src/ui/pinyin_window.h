#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "ui/ui_services.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace oz::ui {

class SharedSettings;

// "汉字拼音转换器": the pinyin of the input box's text, converted on a worker thread. A long input
// or result shows only its start (long_text.h), read-only; 转换拼音 and 复制结果 take it whole. The case
// radios and the check boxes 首拼模式, 清除非字母, 保留空格 are loaded from the section "汉字拼音转换器" when
// the window is made and saved there when it is closed ("保留换行" is not kept). A top-level window
// owned by `parent`.
class PinyinWindow : public QWidget {
    Q_OBJECT
   public:
    PinyinWindow(const UiServices& services, SharedSettings& settings, QWidget* parent = nullptr);
    ~PinyinWindow() override;

    bool isConverting() const { return m_worker.joinable(); }

   protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    void convert();
    void paste(std::string text);
    void applyCleaningRule();
    void joinWorker();
    // Puts `text` into `box`, or its start when it is too long to show (then `whole` keeps it and
    // the box is read-only); `shown` runs once it is in (a long one goes in off this thread).
    static void showLong(QPlainTextEdit* box, std::string text, std::string& whole,
                         const std::function<void()>& shown = {});
    void updateNote();

    UiServices m_services;
    SharedSettings& m_settings;
    QRadioButton* m_firstOfText;
    QRadioButton* m_everySyllable;
    QRadioButton* m_upper;
    QRadioButton* m_lower;
    QCheckBox* m_initials;
    QCheckBox* m_lettersOnly;
    QCheckBox* m_keepSpaces;
    QCheckBox* m_keepLines;
    QPlainTextEdit* m_input;
    QPushButton* m_pasteButton;
    QPushButton* m_convertButton;
    QPlainTextEdit* m_result;
    QPushButton* m_copyButton;
    QLabel* m_note;
    std::string m_fullInput;   // an input longer than its box shows; empty otherwise
    std::string m_fullResult;  // likewise the result
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

}  // namespace oz::ui
