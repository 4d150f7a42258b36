#include "ui/form_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

namespace oz::ui {

namespace {

template <typename T>
T* withName(T* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

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

}  // namespace oz::ui
