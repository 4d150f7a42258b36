#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <initializer_list>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
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
// Two range boxes with the small "-" between them.
QWidget* range(const char* first, const char* second, int width = 46);
QHBoxLayout* rowOf(std::initializer_list<QWidget*> widgets, bool stretch = true);
// The box takes only digits as typed (and one decimal point with `fraction`); text set by the
// program is not checked.
void setNumberValidator(QLineEdit* box, bool fraction = false);

// The control named `name` (UTF-8) under `scope`; null when there is none.
template <typename T = QWidget>
T* child(const QWidget* scope, const char* name) {
    return scope->findChild<T*>(QString::fromUtf8(name));
}

}  // namespace oz::ui
