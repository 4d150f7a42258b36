#include "ui/random_text_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "config/atomic_file.h"
#include "config/settings_file.h"
#include "text/path_text.h"
#include "tools/random_text.h"
#include "ui/control_state.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"

namespace oz::ui {

namespace {

const QString kSection = QStringLiteral("随机文本生成器");
const QString kChineseIdle = QStringLiteral("生成随机汉字");
const QString kLettersIdle = QStringLiteral("生成随机数字字母");
const QString kRunning = QStringLiteral("点我停止生成");
const QString kStopping = QStringLiteral("正在停止中");
// A long result shows only its start (long_text.h): putting millions of lines into the box froze
// the window for seconds (a click made meanwhile started the generator again) and kept most of a
// gigabyte, and one group of millions of characters froze it as long. The whole result stays for
// 复制结果 and 保存结果.
constexpr char kMinKey[] = "字数1";
constexpr char kMaxKey[] = "字数2";
constexpr char kGroupsKey[] = "组数";

// The window's whole numbers: anything that is not one counts as 0.
int intOf(const QLineEdit* edit) { return edit->text().trimmed().toInt(); }

}  // namespace

RandomTextWindow::RandomTextWindow(const UiServices& services, SharedSettings& settings, QWidget* parent)
    : GeneratorWindow(services, settings, kSection, parent) {
    resize(459, 467);

    m_digits = named(new QCheckBox(QStringLiteral("有数字")), QStringLiteral("选择框有数字"));
    m_lower = named(new QCheckBox(QStringLiteral("有小字母")), QStringLiteral("选择框有小字母"));
    m_upper = named(new QCheckBox(QStringLiteral("有大字母")), QStringLiteral("选择框有大字母"));
    m_fullWidth = named(new QCheckBox(QStringLiteral("转为全角")), QStringLiteral("选择框转为全角"));
    m_traditional = named(new QCheckBox(QStringLiteral("转为繁体")), QStringLiteral("选择框转为繁体"));
    m_mostUsed = named(new QRadioButton(QStringLiteral("最常用")), QStringLiteral("单选框最常用"));
    m_common = named(new QRadioButton(QStringLiteral("一般常用")), QStringLiteral("单选框一般常用"));
    m_secondary = named(new QRadioButton(QStringLiteral("次要常用")), QStringLiteral("单选框次要常用"));
    m_mostUsed->setChecked(true);
    m_minLength = named(new QLineEdit(QStringLiteral("3")), QStringLiteral("编辑框字数1"));
    m_maxLength = named(new QLineEdit(QStringLiteral("5")), QStringLiteral("编辑框字数2"));
    m_groups = named(new QLineEdit(QStringLiteral("100")), QStringLiteral("编辑框组数"));
    m_lettersButton = named(new QPushButton(kLettersIdle), QStringLiteral("按钮生成数母"));
    m_copyButton = named(new QPushButton(QStringLiteral("复制结果")), QStringLiteral("按钮复制结果"));
    m_chineseButton = named(new QPushButton(kChineseIdle), QStringLiteral("按钮生成汉字"));
    m_saveButton = named(new QPushButton(QStringLiteral("保存结果")), QStringLiteral("按钮保存结果"));
    m_result = textBox(QStringLiteral("编辑框结果"));
    m_summary = named(new QLabel, QStringLiteral("标签结果"));
    m_summary->setWordWrap(true);
    m_summary->hide();
    // The texts are kept under their own keys (字数1, 字数2, 组数), the result not at all.
    for (QWidget* unsaved :
         std::initializer_list<QWidget*>{m_minLength, m_maxLength, m_groups, m_result, m_lettersButton,
                                         m_copyButton, m_chineseButton, m_saveButton}) {
        setTag(unsaved, kTagNoSave);
    }
    for (QLineEdit* number : {m_minLength, m_maxLength, m_groups}) {
        number->setMaximumWidth(80);
        setNumberValidator(number);
    }

    auto* options = new QGridLayout;
    options->addWidget(new QLabel(QStringLiteral("数母成分：")), 0, 0);
    auto* kinds = new QHBoxLayout;
    for (QWidget* box :
         std::initializer_list<QWidget*>{m_digits, m_lower, m_upper, m_fullWidth, m_traditional}) {
        kinds->addWidget(box);
    }
    kinds->addStretch();
    options->addLayout(kinds, 0, 1);
    options->addWidget(new QLabel(QStringLiteral("汉字类型：")), 1, 0);
    auto* tables = new QHBoxLayout;
    for (QWidget* radio : std::initializer_list<QWidget*>{m_mostUsed, m_common, m_secondary})
        tables->addWidget(radio);
    tables->addStretch();
    options->addLayout(tables, 1, 1);
    options->addWidget(new QLabel(QStringLiteral("每组字数：")), 2, 0);
    auto* lengths = new QHBoxLayout;
    lengths->addWidget(m_minLength);
    lengths->addWidget(new QLabel(QStringLiteral("到")));
    lengths->addWidget(m_maxLength);
    lengths->addWidget(new QLabel(QStringLiteral("个")));
    lengths->addSpacing(16);
    lengths->addWidget(new QLabel(QStringLiteral("生成组数：")));
    lengths->addWidget(m_groups);
    lengths->addStretch();
    options->addLayout(lengths, 2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lettersButton);
    buttons->addWidget(m_copyButton);
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_chineseButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addLayout(buttons);
    layout->addWidget(m_summary);
    layout->addWidget(m_result, 1);

    connect(m_chineseButton, &QPushButton::clicked, this, [this] { startOrStop(Kind::Chinese); });
    connect(m_lettersButton, &QPushButton::clicked, this, [this] { startOrStop(Kind::Letters); });
    connect(m_copyButton, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(resultText()); });
    connect(m_saveButton, &QPushButton::clicked, this, &RandomTextWindow::saveResult);
    load();
    readyForKeyboard(this);
}

void RandomTextWindow::startOrStop(Kind kind) {
    QPushButton* button = kind == Kind::Chinese ? m_chineseButton : m_lettersButton;
    QPushButton* other = kind == Kind::Chinese ? m_lettersButton : m_chineseButton;
    if (button->text() != (kind == Kind::Chinese ? kChineseIdle : kLettersIdle)) {
        button->setText(kStopping);
        requestStop();
        return;
    }
    joinWorker();
    button->setText(kRunning);
    other->setEnabled(false);

    const int minLength = intOf(m_minLength);
    const int maxLength = intOf(m_maxLength);
    const long long groups = m_groups->text().trimmed().toLongLong();
    tools::ChineseTextOptions chinese;
    tools::LetterTextOptions letters;
    if (kind == Kind::Chinese) {
        chinese.table = m_mostUsed->isChecked() ? tools::CharacterTable::MostUsed
                        : m_common->isChecked() ? tools::CharacterTable::Common
                                                : tools::CharacterTable::Secondary;
        chinese.minLength = minLength;
        chinese.maxLength = maxLength;
        chinese.groups = groups;
        chinese.traditional = m_traditional->isChecked();
    } else {
        letters = {m_digits->isChecked(),
                   m_lower->isChecked(),
                   m_upper->isChecked(),
                   m_fullWidth->isChecked(),
                   minLength,
                   maxLength,
                   groups};
    }
    startWorker([this, kind, chinese, letters](const tools::GeneratorControl& control) {
        tools::GeneratedText result = kind == Kind::Chinese ? tools::generateChinese(chinese, control)
                                                            : tools::generateLetters(letters, control);
        // The window joins this thread before it goes, so `this` is alive while the call is queued.
        QMetaObject::invokeMethod(
            this, [this, kind, result = std::move(result)]() mutable { finished(kind, std::move(result)); },
            Qt::QueuedConnection);
    });
}

void RandomTextWindow::finished(Kind kind, tools::GeneratedText result) {
    joinWorker();
    // The buttons come back once the result is in its box (a long one goes in off this thread).
    const auto idle = [this, kind] {
        (kind == Kind::Chinese ? m_lettersButton : m_chineseButton)->setEnabled(true);
        (kind == Kind::Chinese ? m_chineseButton : m_lettersButton)
            ->setText(kind == Kind::Chinese ? kChineseIdle : kLettersIdle);
    };
    if (!result.error.empty()) {
        m_services.dialogs->message(this, QString::fromStdString(result.error), {}, Dialogs::Buttons::Ok,
                                    Dialogs::Icon::Warning);
        idle();
        return;
    }
    showResult(std::move(result), idle);
}

void RandomTextWindow::showResult(tools::GeneratedText result, const std::function<void()>& shown) {
    QString summary;
    if (result.stopped) summary = QStringLiteral("已停止：生成了 %1 组。").arg(result.groups);
    if (showLong(m_result, std::move(result.text), m_fullResult, shown))
        summary +=
            QStringLiteral("共 %1 组，框中只显示开头部分；“复制结果”和“保存结果”取全部。").arg(result.groups);
    m_summary->setText(summary);
    m_summary->setVisible(!summary.isEmpty());
}

QString RandomTextWindow::resultText() const {
    return m_fullResult.empty() ? boxText(m_result) : QString::fromStdString(m_fullResult);
}

void RandomTextWindow::saveResult() {
    const QString file = m_services.dialogs->saveFileName(this, QStringLiteral("保存结果"),
                                                          QStringLiteral("文本文件 (*.txt);;全部文件 (*)"),
                                                          {}, QStringLiteral("txt"));
    if (file.isEmpty()) return;
    QString text = resultText();
    text.replace(QChar('\n'), QStringLiteral("\r\n"));
    std::string error;
    if (!config::replaceFile(text::utf8Path(file.toStdString()), text.toStdString(), error))
        reportSaveFailure(*m_services.dialogs, this, QString::fromStdString(error));
}

// 字数1, 字数2 and 组数 are kept as typed, beside the controls.
void RandomTextWindow::load() {
    loadControls([this](config::SettingsFile& settings) {
        for (auto [box, key] :
             {std::pair{m_minLength, kMinKey}, {m_maxLength, kMaxKey}, {m_groups, kGroupsKey}})
            box->setText(QString::fromStdString(settings.readText(key, box->text().toStdString())));
    });
}

void RandomTextWindow::save() {
    saveControls([this](config::SettingsFile& settings) {
        for (auto [box, key] :
             {std::pair{m_minLength, kMinKey}, {m_maxLength, kMaxKey}, {m_groups, kGroupsKey}})
            settings.writeText(key, box->text().toStdString());
    });
}

void RandomTextWindow::closeEvent(QCloseEvent* event) {
    requestStop();
    save();
    QWidget::closeEvent(event);
}

}  // namespace oz::ui
