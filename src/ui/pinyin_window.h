#pragma once

#include <string>

#include "ui/generator_window.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace oz::ui {

// "汉字拼音转换器": the pinyin of the input box's text, converted on a worker thread. A long input
// or result shows only its start (long_text.h), read-only; 转换拼音 and 复制结果 take it whole. The case
// radios and the check boxes 首拼模式, 清除非字母, 保留空格 are loaded from the section "汉字拼音转换器" when
// the window is made and saved there when it is closed ("保留换行" is not kept). A top-level window
// owned by `parent`.
class PinyinWindow : public GeneratorWindow {
    Q_OBJECT
   public:
    PinyinWindow(const UiServices& services, SharedSettings& settings, QWidget* parent = nullptr);

    bool isConverting() const { return isWorking(); }

   protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    void convert();
    void paste(std::string text);
    void applyCleaningRule();
    void updateNote();

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
};

}  // namespace oz::ui
