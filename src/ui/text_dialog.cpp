#include "ui/text_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "content/load_text.h"
#include "text/path_text.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"

namespace oz::ui {

namespace {

std::function<void(QDialog&)>& testHook() {
    static std::function<void(QDialog&)> hook;
    return hook;
}

bool g_showing = false;

QString withCrLf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

QString withLf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// The buttons are as wide as their captions, so that the window keeps its size of 495 pixels
// (the style's minimum of about 80 pixels a button would widen it to some 600).
QPushButton* barButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    button->setFixedWidth(std::max(48, button->fontMetrics().horizontalAdvance(caption) + 24));
    return button;
}

}  // namespace

void setTextDialogTestHook(std::function<void(QDialog&)> hook) { testHook() = std::move(hook); }

TextDialog::TextDialog(const QString& text, const QString& hint, const QString& title, QWidget* owner,
                       Dialogs& dialogs, const TextDialogOptions& options)
    : QDialog(owner), m_dialogs(dialogs), m_options(options), m_original(withCrLf(text)) {
    const bool input = options.inputMode;
    setWindowTitle(!title.isEmpty() ? title : input ? QStringLiteral("输入：") : QStringLiteral("信息："));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    const int margin = options.margin < 1 ? 5 : options.margin;
    layout->setContentsMargins(margin, margin, margin, margin);

    m_hint = new QLabel(!hint.isEmpty() ? hint
                        : input         ? QStringLiteral("请输入数据：")
                                        : QStringLiteral("以下为信息详情："),
                        this);
    m_hint->setObjectName(QStringLiteral("编辑框提示"));
    m_hint->setWordWrap(true);
    m_hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_hint);

    m_body = textBox(QStringLiteral("编辑框正文"));
    m_body->setParent(this);
    m_body->setReadOnly(!input);
    if (!options.scrollBars) {
        m_body->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_body->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else if (!options.wrapLines) {
        m_body->setLineWrapMode(QPlainTextEdit::NoWrap);
    }
    layout->addWidget(m_body, 1);

    auto* bottom = new QHBoxLayout;
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("外形框"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    QPushButton* restoreButton = barButton("按钮恢复", QStringLiteral("恢复"), bar);
    QPushButton* clearButton = barButton("按钮清空", QStringLiteral("清空"), bar);
    QPushButton* pasteButton = barButton("按钮粘贴", QStringLiteral("粘贴"), bar);
    QPushButton* contentButton = barButton("按钮文件", QStringLiteral("内容"), bar);
    QPushButton* nameButton = barButton("按钮文件名", QStringLiteral("文件名"), bar);
    for (QPushButton* button : {restoreButton, clearButton, pasteButton, contentButton, nameButton}) {
        barLayout->addWidget(button);
    }
    contentButton->setVisible(options.contentButton);
    nameButton->setVisible(options.fileNameButton);
    bar->setVisible(input);
    bottom->addWidget(bar);
    bottom->addStretch(1);

    auto* ok = barButton("按钮确定", QStringLiteral("确定"), this);
    m_ok = ok;
    auto* cancel = barButton("按钮取消", input ? QStringLiteral("取消") : QStringLiteral("关闭(&G)"), this);
    ok->setVisible(input);
    (input ? ok : cancel)->setDefault(true);
    bottom->addWidget(ok);
    bottom->addWidget(cancel);
    layout->addLayout(bottom);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &TextDialog::reject);
    connect(restoreButton, &QPushButton::clicked, this, &TextDialog::restore);
    connect(clearButton, &QPushButton::clicked, this, [this] { putText({}); });
    connect(pasteButton, &QPushButton::clicked, this, &TextDialog::paste);
    connect(contentButton, &QPushButton::clicked, this, [this] { importFiles(true); });
    connect(nameButton, &QPushButton::clicked, this, [this] { importFiles(false); });
    // Enter in the text box starts a new line; Ctrl+Enter confirms from there, Enter elsewhere.
    if (input) {
        for (const QKeySequence& keys :
             {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
            connect(new QShortcut(keys, this), &QShortcut::activated, this, &QDialog::accept);
        }
    }

    setTabOrder(m_body, restoreButton);
    setTabOrder(restoreButton, clearButton);
    setTabOrder(clearButton, pasteButton);
    setTabOrder(pasteButton, contentButton);
    setTabOrder(contentButton, nameButton);
    setTabOrder(nameButton, ok);
    setTabOrder(ok, cancel);

    resize(495 + options.extraWidth, 393 + options.extraHeight);
    m_body->setFocus();
    m_body->setAccessibleName(windowTitle());
    readyForKeyboard(this);
    putText(withLf(m_original));
}

// A long text comes into the box off the window thread; 确定 waits for it.
void TextDialog::putText(const QString& text) {
    m_ok->setEnabled(false);
    setBoxText(m_body, text, [this] { m_ok->setEnabled(true); });
}

void TextDialog::accept() {
    if (isBoxTextPending(m_body)) return;  // Ctrl+Enter before the text is in
    QDialog::accept();
}

QString TextDialog::text() const { return withCrLf(boxText(m_body)); }

void TextDialog::reject() {
    if (m_options.inputMode && changed() &&
        m_dialogs.message(this, QStringLiteral("内容已被改动，是否要放弃？"), {}, Dialogs::Buttons::YesNo,
                          Dialogs::Icon::Question) != Dialogs::Answer::Yes) {
        return;  // No: keep editing
    }
    QDialog::reject();
}

// A text on its way into the box counts as there. Reading megabytes out of the box takes tens of
// milliseconds, so the sizes are compared first: the box holds no CR, and the text it opened with
// was the original less the CR of its CR LF pairs.
bool TextDialog::changed() const {
    if (!isBoxTextPending(m_body) &&
        m_body->document()->characterCount() - 1 != m_original.size() - m_original.count(QChar('\r'))) {
        return true;
    }
    return text() != m_original;
}

void TextDialog::restore() {
    if (m_options.restoreValue.isEmpty()) {
        m_dialogs.message(this, QStringLiteral("启动值为空！"));
        return;
    }
    putText(withLf(m_options.restoreValue));
}

void TextDialog::paste() { putText(withLf(QApplication::clipboard()->text())); }

void TextDialog::importFiles(bool contents) {
    const QString title = QStringLiteral("选择多个文件，将导入其") +
                          (contents ? QStringLiteral("文件内容") : QStringLiteral("文件路径"));
    const QStringList files = m_dialogs.openFileNames(
        this, title, QStringLiteral("文本文本 (*.txt *.text *.ini *.htn *.html);;全部文件 (*)"), {});
    // Onto the latest text, also one still on its way into the box.
    QString text = boxText(m_body);
    const qsizetype before = text.size();
    for (const QString& file : files) {
        QString added;
        if (contents) {
            const auto loaded =
                content::loadTextFile(text::utf8Path(file.toStdString()), content::EncodingCode::Detect);
            if (loaded.problem != content::LoadProblem::None) {
                m_dialogs.message(this, QStringLiteral("无法导入这个文件（不是可读的文本文件）：") + file, {},
                                  Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
                continue;
            }
            added = QString::fromStdString(loaded.text);
        } else {
            added = QDir::toNativeSeparators(file) + QStringLiteral("\r\n");
        }
        // Each file starts on a line of its own.
        if (!text.isEmpty() && !text.endsWith(QChar('\n'))) text += QChar('\n');
        text += withLf(added);
    }
    if (text.size() != before) putText(text);
}

bool showTextDialog(QString& text, const QString& hint, const QString& title, QWidget* owner,
                    Dialogs& dialogs, const TextDialogOptions& options) {
    if (g_showing) return false;
    g_showing = true;
    TextDialog dialog(text, hint, title, owner, dialogs, options);
    // Placed once the layout has its final size, so the window is centred as it will show.
    dialog.layout()->activate();
    dialog.resize(dialog.size().expandedTo(dialog.minimumSizeHint()));
    if (QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        dialog.move(area.center() - dialog.rect().center());
    }
    if (options.maximized) dialog.setWindowState(Qt::WindowMaximized);
    if (testHook()) {
        QTimer::singleShot(0, &dialog, [&dialog] {
            if (testHook()) testHook()(dialog);
        });
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    g_showing = false;
    if (accepted) text = dialog.text();
    return accepted;
}

}  // namespace oz::ui
