#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <optional>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace oz::ui {

// Small makers for the controls of the main window's panels: each gets its object name (its
// settings key) from the UTF-8 name given.
QPushButton* button(const char* name, const QString& caption);
QCheckBox* check(const char* name, const QString& caption);
QRadioButton* radio(const char* name, const QString& caption);
QLineEdit* edit(const char* name, int maxWidth = 0);
QComboBox* combo(const char* name, const QStringList& items);
QLabel* label(const QString& text);
// A multi-line box for lists and results, none of which holds tab characters: Tab and Shift+Tab
// (with Ctrl too) move the focus on, as in the list dialogs, so the keyboard never gets stuck in it.
QPlainTextEdit* textBox(const QString& name);
// Puts `text` into a box made by textBox(). A long text (tens of thousands of lines take the
// window thread a tenth of a second and more) is laid into its document on a thread of its own,
// the box read-only meanwhile; `done` runs once the text is in (at once for a short text), and
// then the box is read-only as `readOnly` says (unset: as it was). The latest text wins: a text put
// in while an older one is on its way replaces it.
void setBoxText(QPlainTextEdit* box, const QString& text, const std::function<void()>& done = {},
                std::optional<bool> readOnly = std::nullopt);
// A long text is still on its way into the box.
bool isBoxTextPending(const QPlainTextEdit* box);
// The box's text: the latest text put in, also while it is on its way.
QString boxText(const QPlainTextEdit* box);
// Two range boxes with the small "-" between them.
QWidget* range(const char* first, const char* second, int width = 46);
QHBoxLayout* rowOf(std::initializer_list<QWidget*> widgets, bool stretch = true);
// The box takes only digits as typed (and one decimal point with `fraction`); text set by the
// program is not checked.
void setNumberValidator(QLineEdit* box, bool fraction = false);

// Makes the top-level window fit the available area of its screen, and moves it inside that area
// where it would reach past it.
void fitToScreen(QWidget* window);

// Readies a window for an operator without a mouse: Enter (or the keypad's Enter) on a focused
// push or tool button clicks it, as Space does; and every box (edit, list, combo, tree, table)
// without an accessible name gets one from its object name, less the kind prefix ("编辑框域名"
// is "域名"), so a screen reader names it. Call once the window's controls are made.
void readyForKeyboard(QWidget* window);
// Return, or the keypad's Enter.
bool isEnterKey(int key);
// The context-menu request of the keyboard (the menu key, Shift+F10), for an operator without a
// mouse.
bool isKeyboardMenu(const QEvent* event);

// The control named `name` (UTF-8) under `scope`; null when there is none.
template <typename T = QWidget>
T* child(const QWidget* scope, const char* name) {
    return scope->findChild<T*>(QString::fromUtf8(name));
}

}  // namespace oz::ui
