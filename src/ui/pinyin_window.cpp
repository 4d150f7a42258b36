#include "ui/pinyin_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "tools/pinyin_converter.h"
#include "ui/control_state.h"
#include "ui/form_widgets.h"
#include "ui/long_text.h"

namespace oz::ui {

namespace {

const QString kSection = QStringLiteral("汉字拼音转换器");

}  // namespace

PinyinWindow::PinyinWindow(const UiServices& services, SharedSettings& settings, QWidget* parent)
    : GeneratorWindow(services, settings, kSection, parent) {
    resize(625, 286);

    m_firstOfText = named(new QRadioButton(QStringLiteral("首字母大写")), QStringLiteral("单选框首字母大写"));
    m_everySyllable =
        named(new QRadioButton(QStringLiteral("拼音首大写")), QStringLiteral("单选框拼音首大写"));
    m_upper = named(new QRadioButton(QStringLiteral("全部大写")), QStringLiteral("单选框全部大写"));
    m_lower = named(new QRadioButton(QStringLiteral("全部小写")), QStringLiteral("单选框全部小写"));
    m_everySyllable->setChecked(true);
    m_initials = named(new QCheckBox(QStringLiteral("首拼模式")), QStringLiteral("选择框首拼模式"));
    m_lettersOnly = named(new QCheckBox(QStringLiteral("清除非字母")), QStringLiteral("选择框清除非字母"));
    m_keepSpaces = named(new QCheckBox(QStringLiteral("保留空格")), QStringLiteral("选择框保留空格"));
    m_keepLines = named(new QCheckBox(QStringLiteral("保留换行")), QStringLiteral("选择框保留换行"));
    m_input = textBox(QStringLiteral("编辑框汉字"));
    m_pasteButton = named(new QPushButton(QStringLiteral("粘贴\n汉字")), QStringLiteral("按钮粘贴汉字"));
    m_convertButton = named(new QPushButton(QStringLiteral("转换拼音")), QStringLiteral("按钮转换拼音"));
    m_result = textBox(QStringLiteral("编辑框结果"));
    m_copyButton = named(new QPushButton(QStringLiteral("复制结果")), QStringLiteral("按钮复制结果"));
    m_note = named(new QLabel, QStringLiteral("标签结果"));
    m_note->setWordWrap(true);
    m_note->hide();
    for (QWidget* unsaved : std::initializer_list<QWidget*>{m_keepLines, m_input, m_result, m_pasteButton,
                                                            m_convertButton, m_copyButton}) {
        setTag(unsaved, kTagNoSave);
    }

    auto* options = new QHBoxLayout;
    for (QWidget* option :
         std::initializer_list<QWidget*>{m_firstOfText, m_everySyllable, m_upper, m_lower}) {
        options->addWidget(option);
    }
    options->addStretch();
    auto* checks = new QHBoxLayout;
    for (QWidget* option :
         std::initializer_list<QWidget*>{m_initials, m_lettersOnly, m_keepSpaces, m_keepLines}) {
        checks->addWidget(option);
    }
    checks->addStretch();

    auto* middle = new QVBoxLayout;
    middle->addWidget(m_pasteButton);
    middle->addWidget(m_convertButton);
    middle->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(m_copyButton);
    right->addStretch();
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(m_input, 1);
    boxes->addLayout(middle);
    boxes->addWidget(m_result, 1);
    boxes->addLayout(right);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addLayout(checks);
    layout->addLayout(boxes, 1);
    layout->addWidget(m_note);

    connect(m_lettersOnly, &QCheckBox::toggled, this, [this] { applyCleaningRule(); });
    connect(m_pasteButton, &QPushButton::clicked, this,
            [this] { paste(QApplication::clipboard()->text().toStdString()); });
    m_input->installEventFilter(this);
    connect(m_copyButton, &QPushButton::clicked, this, [this] {
        QApplication::clipboard()->setText(m_fullResult.empty() ? boxText(m_result)
                                                                : QString::fromStdString(m_fullResult));
    });
    connect(m_convertButton, &QPushButton::clicked, this, [this] { convert(); });

    loadControls();
    applyCleaningRule();
    readyForKeyboard(this);
}

void PinyinWindow::applyCleaningRule() {
    m_keepSpaces->setEnabled(m_lettersOnly->isChecked());
    m_keepLines->setEnabled(m_lettersOnly->isChecked());
}

void PinyinWindow::convert() {
    if (isConverting()) return;
    tools::PinyinOptions options;
    options.letterCase = m_firstOfText->isChecked() ? tools::PinyinCase::FirstOfText
                         : m_upper->isChecked()     ? tools::PinyinCase::Upper
                         : m_lower->isChecked()     ? tools::PinyinCase::Lower
                                                    : tools::PinyinCase::EverySyllable;
    options.initials = m_initials->isChecked();
    options.lettersOnly = m_lettersOnly->isChecked();
    options.keepSpaces = m_keepSpaces->isChecked();
    options.keepLineBreaks = m_keepLines->isChecked();
    m_convertButton->setEnabled(false);
    std::string input = m_fullInput.empty() ? boxText(m_input).toStdString() : m_fullInput;
    startWorker([this, options, input = std::move(input)](const tools::GeneratorControl& control) {
        std::string text = tools::convertToPinyin(input, options, control).text;
        // The window joins this thread before it goes, so `this` is alive while the call is queued.
        QMetaObject::invokeMethod(
            this,
            [this, text = std::move(text)]() mutable {
                joinWorker();
                // The button comes back once the result is in its box.
                showLong(m_result, std::move(text), m_fullResult,
                         [this] { m_convertButton->setEnabled(true); });
                updateNote();
            },
            Qt::QueuedConnection);
    });
}

void PinyinWindow::paste(std::string text) {
    showLong(m_input, std::move(text), m_fullInput);
    updateNote();
}

void PinyinWindow::updateNote() {
    QStringList notes;
    if (!m_fullInput.empty()) notes << QStringLiteral("输入太长，框中只显示开头部分；“转换拼音”转换全部。");
    if (!m_fullResult.empty()) notes << QStringLiteral("结果太长，框中只显示开头部分；“复制结果”取全部。");
    m_note->setText(notes.join(QChar(' ')));
    m_note->setVisible(!notes.isEmpty());
}

// Ctrl+V of a text too long for the box goes the way of 粘贴 (the whole kept, its start shown);
// a shorter one is pasted by the box as usual.
bool PinyinWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_input && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        std::string text = QApplication::clipboard()->text().toStdString();
        if (shownLength(text) < text.size()) {
            paste(std::move(text));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PinyinWindow::closeEvent(QCloseEvent* event) {
    saveControls();
    QWidget::closeEvent(event);
}

}  // namespace oz::ui
