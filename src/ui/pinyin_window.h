#pragma once

#include <QWidget>
#include <atomic>
#include <thread>

#include "ui/ui_services.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

// "汉字拼音转换器": the pinyin of the input box's text, converted on a worker thread. The case radios
// and the check boxes 首拼模式, 清除非字母, 保留空格 are loaded from the section "汉字拼音转换器" when
// the window is made and saved there when it is closed ("保留换行" is not kept). A top-level window
// owned by `parent`.
class PinyinWindow : public QWidget {
    Q_OBJECT
   public:
    PinyinWindow(const UiServices& services, config::SettingsFile& settings, QWidget* parent = nullptr);
    ~PinyinWindow() override;

    bool isConverting() const { return m_worker.joinable(); }

   protected:
    void closeEvent(QCloseEvent* event) override;

   private:
    void convert();
    void applyCleaningRule();
    void joinWorker();

    UiServices m_services;
    config::SettingsFile& m_settings;
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
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

}  // namespace oz::ui
