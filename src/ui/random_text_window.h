#pragma once

#include <functional>
#include <string>

#include "ui/generator_window.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace oz::tools {
struct GeneratedText;
}

namespace oz::ui {

// "随机文本生成器": random groups of Chinese characters or of digits and letters, made on a worker
// thread. A second click on the running button stops it. A long result shows its first groups;
// 复制结果 and 保存结果 take it whole. The check boxes, the radios and the texts
// 字数1, 字数2, 组数 are loaded from the section "随机文本生成器" when the window is made and saved
// there when it is closed. A top-level window owned by `parent`.
class RandomTextWindow : public GeneratorWindow {
    Q_OBJECT
   public:
    RandomTextWindow(const UiServices& services, SharedSettings& settings, QWidget* parent = nullptr);

    bool isGenerating() const { return isWorking(); }

   protected:
    void closeEvent(QCloseEvent* event) override;

   private:
    enum class Kind { Chinese, Letters };
    void startOrStop(Kind kind);
    void finished(Kind kind, tools::GeneratedText result);
    // Puts the result (or its start) into the box; `shown` runs once it is in.
    void showResult(tools::GeneratedText result, const std::function<void()>& shown);
    // The whole result: the box's text, or the kept one when the box shows only its start.
    QString resultText() const;
    void saveResult();
    void load();
    void save();

    QCheckBox* m_digits;
    QCheckBox* m_lower;
    QCheckBox* m_upper;
    QCheckBox* m_fullWidth;
    QCheckBox* m_traditional;
    QRadioButton* m_mostUsed;
    QRadioButton* m_common;
    QRadioButton* m_secondary;
    QLineEdit* m_minLength;
    QLineEdit* m_maxLength;
    QLineEdit* m_groups;
    QPushButton* m_lettersButton;
    QPushButton* m_copyButton;
    QPushButton* m_chineseButton;
    QPushButton* m_saveButton;
    QPlainTextEdit* m_result;
    QLabel* m_summary;
    std::string m_fullResult;  // a result longer than the box shows; empty otherwise
};

}  // namespace oz::ui
