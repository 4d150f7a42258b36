#include "ui/form_widgets.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <algorithm>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "ui/background_work.h"

namespace oz::ui {

namespace {

// Texts up to this size go into a box at once: laying them out takes a few milliseconds.
constexpr qsizetype kShortText = 20'000;

template <typename T>
T* withName(T* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// A box of textBox(): Ctrl+Tab would still type a tab into a box whose Tab moves the focus; here
// it moves it too. A long text is laid into a document on a thread of its own (setLongText); the
// latest text asked for is the one the box ends with, and the one boxText() reads meanwhile.
class TextBox final : public QPlainTextEdit {
   public:
    struct Request {
        QString text;
        std::function<void()> done;
        std::optional<bool> readOnly;  // the box's state once the text is in; unset: as it was
    };

    ~TextBox() override {
        if (m_builder.joinable()) m_builder.join();
    }

    bool isPending() const { return m_coming.has_value(); }
    QString text() const { return m_coming ? *m_coming : toPlainText(); }

    // A second text while one is on its way waits for it and then replaces it.
    void setLongText(Request request) {
        m_coming = request.text;
        if (m_builder.joinable()) {
            m_next = std::move(request);
            return;
        }
        m_readOnlyAfter = request.readOnly.value_or(isReadOnly());
        setReadOnly(true);
        const QFont font = this->font();
        const quint64 build = ++m_builds;
        // The box joins this thread before it goes, so `this` is alive while the result is queued.
        m_builder =
            std::thread([this, build, text = std::move(request.text), font, done = std::move(request.done)] {
                giveWayToTheWindowThread();
                auto document = std::make_shared<std::unique_ptr<QTextDocument>>(new QTextDocument);
                QTextDocument* built = document->get();
                built->setDocumentLayout(new QPlainTextDocumentLayout(built));
                built->setDefaultFont(font);
                built->setPlainText(text);
                // Each line's layout object made here: the box makes those missing when it takes the
                // document, which for 5.5 MB held the window thread 80 ms.
                for (QTextBlock block = built->begin(); block.isValid(); block = block.next()) block.layout();
                built->moveToThread(QCoreApplication::instance()->thread());
                // A call dropped with the box deletes the document with it.
                QMetaObject::invokeMethod(
                    this, [this, build, document, done] { adopt(build, document->release(), done); },
                    Qt::QueuedConnection);
            });
    }

    // A short text goes in at once, and a long one on its way is not wanted any more.
    void setShortText(const Request& request) {
        if (m_coming) {
            ++m_builds;
            m_next.reset();
            m_coming.reset();
            setReadOnly(m_readOnlyAfter);
        }
        setPlainText(request.text);
        if (request.readOnly) setReadOnly(*request.readOnly);
        if (request.done) request.done();
    }

   protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Paste) && editableOnceIn() && pasteLong()) return;
        if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
            const bool back =
                event->key() == Qt::Key_Backtab || event->modifiers().testFlag(Qt::ShiftModifier);
            focusNextPrevChild(!back);
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

   private:
    // The box is read-only only while a text is on its way, or stays so once it is in.
    bool editableOnceIn() const {
        if (!isPending()) return !isReadOnly();
        return !(m_next && m_next->readOnly ? *m_next->readOnly : m_readOnlyAfter);
    }

    // A long text pasted with Ctrl+V goes in as a long text put in does, in place of the selection
    // with the cursor after it: the box's own paste laid 5.5 MB out on the window thread for a
    // fifth of a second. False for a short one, which the box pastes as usual. While a text is on
    // its way (the box read-only meanwhile) any paste goes at its end, so that none is lost.
    bool pasteLong() {
        QString pasted = QGuiApplication::clipboard()->text();
        if (pasted.size() <= kShortText && !isPending()) return false;
        pasted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QString whole = text();
        qsizetype start = whole.size();
        qsizetype end = whole.size();
        if (!isPending()) {
            start = textCursor().selectionStart();
            end = textCursor().selectionEnd();
        }
        whole.replace(start, end - start, pasted);
        const auto caret = static_cast<int>(start + pasted.size());
        // The paste adds to a text still waiting for its turn, so that one's `done` still runs.
        std::function<void()> before;
        std::optional<bool> readOnly;
        if (m_next) {
            before = std::move(m_next->done);
            readOnly = m_next->readOnly;
        }
        setLongText({std::move(whole),
                     [this, caret, before = std::move(before)] {
                         if (before) before();
                         QTextCursor cursor = textCursor();
                         cursor.setPosition(std::min(caret, document()->characterCount() - 1));
                         setTextCursor(cursor);
                         ensureCursorVisible();
                     },
                     readOnly});
        return true;
    }

    void adopt(quint64 build, QTextDocument* document, const std::function<void()>& done) {
        m_builder.join();
        if (build != m_builds) {
            delete document;  // a short text took its place
        } else {
            // The box's first document belongs to its text control, which deletes it on the
            // change; a document laid in here belongs to the box and goes when the next one comes.
            QTextDocument* old = this->document();
            const bool ours = old != nullptr && old->parent() == this;
            document->setParent(this);
            setDocument(document);
            if (ours) old->deleteLater();
            setReadOnly(m_readOnlyAfter);
            if (!m_next) m_coming.reset();
            if (done) done();
        }
        if (m_next) {
            Request next = std::move(*m_next);
            m_next.reset();
            setLongText(std::move(next));
        }
    }

    std::thread m_builder;
    quint64 m_builds = 0;             // the latest build; an older one's document is not wanted
    bool m_readOnlyAfter = false;     // the box's state once the text is in
    std::optional<QString> m_coming;  // the latest text on its way
    std::optional<Request> m_next;    // waits for the build under way
};

// Enter on a focused button clicks it. Outside dialogs Qt leaves Enter to the default button,
// and a main window has none, so the key did nothing.
class EnterClicksButton final : public QObject {
   public:
    using QObject::QObject;

   protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = isEnterKey(key->key());
        auto* target = qobject_cast<QAbstractButton*>(watched);
        if (!enter || target == nullptr || !target->isEnabled() ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return false;
        }
        target->click();
        return true;
    }
};

// The box kinds named for screen readers, by the prefix of their object names.
const char* const kBoxPrefixes[] = {"编辑框", "组合框", "列表框", "树型框"};

}  // namespace

QPushButton* button(const char* name, const QString& caption) {
    return withName(new QPushButton(caption), name);
}

QCheckBox* check(const char* name, const QString& caption) { return withName(new QCheckBox(caption), name); }

QRadioButton* radio(const char* name, const QString& caption) {
    return withName(new QRadioButton(caption), name);
}

QLineEdit* edit(const char* name, int maxWidth) {
    auto* box = withName(new QLineEdit, name);
    if (maxWidth > 0) box->setMaximumWidth(maxWidth);
    return box;
}

QComboBox* combo(const char* name, const QStringList& items) {
    auto* box = withName(new QComboBox, name);
    box->addItems(items);
    return box;
}

QLabel* label(const QString& text) { return new QLabel(text); }

void setBoxText(QPlainTextEdit* box, const QString& text, const std::function<void()>& done,
                std::optional<bool> readOnly) {
    auto* textBox = dynamic_cast<TextBox*>(box);
    TextBox::Request request{text, done, readOnly};
    if (textBox == nullptr) {
        box->setPlainText(text);
        if (readOnly) box->setReadOnly(*readOnly);
        if (done) done();
    } else if (text.size() <= kShortText) {
        textBox->setShortText(request);
    } else {
        textBox->setLongText(std::move(request));
    }
}

QString boxText(const QPlainTextEdit* box) {
    const auto* textBox = dynamic_cast<const TextBox*>(box);
    return textBox != nullptr ? textBox->text() : box->toPlainText();
}

bool isBoxTextPending(const QPlainTextEdit* box) {
    const auto* textBox = dynamic_cast<const TextBox*>(box);
    return textBox != nullptr && textBox->isPending();
}

QPlainTextEdit* textBox(const QString& name) {
    auto* box = new TextBox;
    box->setObjectName(name);
    box->setTabChangesFocus(true);
    return box;
}

QWidget* range(const char* first, const char* second, int width) {
    auto* w = new QWidget;
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    QLineEdit* low = edit(first);
    low->setFixedWidth(width);
    QLineEdit* high = edit(second);
    high->setFixedWidth(width);
    row->addWidget(low);
    row->addWidget(label(QStringLiteral("-")));
    row->addWidget(high);
    row->addStretch(1);
    return w;
}

QHBoxLayout* rowOf(std::initializer_list<QWidget*> widgets, bool stretch) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (QWidget* w : widgets) row->addWidget(w);
    if (stretch) row->addStretch(1);
    return row;
}

void setNumberValidator(QLineEdit* box, bool fraction) {
    static const QRegularExpression whole(QStringLiteral("[0-9]{0,10}"));
    static const QRegularExpression real(QStringLiteral("[0-9]{0,10}(\\.[0-9]{0,6})?"));
    box->setValidator(new QRegularExpressionValidator(fraction ? real : whole, box));
}

bool isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

bool isKeyboardMenu(const QEvent* event) {
    return event->type() == QEvent::ContextMenu &&
           static_cast<const QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
}

void fitToScreen(QWidget* window) {
    const QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    // The frame is known only once shown; before, the usual one is allowed for.
    QSize frame = window->frameGeometry().size() - window->geometry().size();
    if (frame.isEmpty()) frame = QSize(8, 32);
    window->resize(window->size().boundedTo(area.size() - frame).expandedTo(window->minimumSize()));
    const QRect outer(window->frameGeometry().topLeft(), window->size() + frame);
    const int x =
        std::clamp(outer.left(), area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
    const int y =
        std::clamp(outer.top(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()));
    if (x != outer.left() || y != outer.top()) window->move(x, y);
}

void readyForKeyboard(QWidget* window) {
    auto* filter = new EnterClicksButton(window);
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (qobject_cast<QPushButton*>(b) != nullptr || qobject_cast<QToolButton*>(b) != nullptr)
            b->installEventFilter(filter);
    }
    for (QLineEdit* line : window->findChildren<QLineEdit*>()) {
        // A one-line box holds no tab: a pasted one (a cell copied from a table) becomes a space.
        QObject::connect(line, &QLineEdit::textEdited, line, [line](const QString& text) {
            if (!text.contains(QLatin1Char('\t'))) return;
            const int cursor = line->cursorPosition();
            line->setText(QString(text).replace(QLatin1Char('\t'), QLatin1Char(' ')));
            line->setCursorPosition(cursor);
        });
    }
    for (QWidget* box : window->findChildren<QWidget*>()) {
        if (!box->accessibleName().isEmpty()) continue;
        if (qobject_cast<QLineEdit*>(box) == nullptr && qobject_cast<QPlainTextEdit*>(box) == nullptr &&
            qobject_cast<QComboBox*>(box) == nullptr && qobject_cast<QAbstractItemView*>(box) == nullptr) {
            continue;
        }
        QString name = box->objectName();
        for (const char* prefix : kBoxPrefixes) {
            const QString kind = QString::fromUtf8(prefix);
            if (name.startsWith(kind) && name.size() > kind.size()) name.remove(0, kind.size());
        }
        if (!name.isEmpty()) box->setAccessibleName(name);
    }
}

}  // namespace oz::ui
