#include "ui/control_state.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>
#include <cmath>
#include <string>

#include "config/settings_file.h"
#include "text/charset.h"
#include "ui/form_widgets.h"

namespace oz::ui {

namespace {

const QString kEditPrefix = QStringLiteral("编辑框");
const QString kCheckPrefix = QStringLiteral("选择框");
const QString kRadioPrefix = QStringLiteral("单选框");
const QString kComboPrefix = QStringLiteral("组合框");
const QString kListPrefix = QStringLiteral("列表框");
const QString kCheckedListPrefix = QStringLiteral("选择列表框");
const QString kColorPrefix = QStringLiteral("颜色选择器");
const QString kButtonPrefix = QStringLiteral("按钮");

constexpr char kItemsSuffix[] = ".列表";
constexpr char kCurrentSuffix[] = ".选中";
constexpr char kChecksSuffix[] = ".打勾";
constexpr char kTextSuffix[] = ".内容";
constexpr char kTagSuffix[] = ".标记";

std::string keyOf(const QObject* object) { return object->objectName().toStdString(); }

// Qt's texts break lines with LF; the settings file keeps CR LF.
std::string storedText(const QString& text) {
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\n'), QStringLiteral("\r\n"));
    return crlf.toStdString();
}

QString shownText(const std::string& stored) {
    return QString::fromStdString(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A stored number as an int; anything out of range keeps the fallback.
int toInt(double value, int fallback) {
    if (!std::isfinite(value) || value < -2147483648.0 || value > 2147483647.0) return fallback;
    return static_cast<int>(std::lround(value));
}

int readInt(const config::SettingsFile& file, const std::string& key, int fallback) {
    return toInt(file.readNumber(key, fallback), fallback);
}

QString editText(const QWidget* edit) {
    if (auto line = qobject_cast<const QLineEdit*>(edit)) return line->text();
    if (auto plain = qobject_cast<const QPlainTextEdit*>(edit)) return boxText(plain);
    if (auto rich = qobject_cast<const QTextEdit*>(edit)) return rich->toPlainText();
    return {};
}

bool isEditBox(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QTextEdit*>(widget);
}

void setEditText(QWidget* edit, const QString& text) {
    if (auto line = qobject_cast<QLineEdit*>(edit)) {
        line->setText(text);
    } else if (auto plain = qobject_cast<QPlainTextEdit*>(edit)) {
        plain->setPlainText(text);
    } else if (auto rich = qobject_cast<QTextEdit*>(edit)) {
        rich->setPlainText(text);
    }
}

QStringList itemTexts(const QListWidget* list) {
    QStringList items;
    for (int row = 0; row < list->count(); ++row) items << list->item(row)->text();
    return items;
}

QString checkedRows(const QListWidget* list) {
    QStringList rows;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->checkState() == Qt::Checked) rows << QString::number(row);
    }
    return rows.join(QChar(','));
}

bool saveList(config::SettingsFile& file, const QListWidget* list, bool checkable) {
    const std::string key = keyOf(list);
    bool ok = file.writeText(key + kItemsSuffix, storedText(itemTexts(list).join(QChar('\n'))));
    ok = file.writeNumber(key + kCurrentSuffix, list->currentRow()) && ok;
    if (checkable) ok = file.writeText(key + kChecksSuffix, checkedRows(list).toStdString()) && ok;
    return ok;
}

void loadList(config::SettingsFile& file, QListWidget* list, bool checkable) {
    const std::string key = keyOf(list);
    const QString joined =
        shownText(file.readText(key + kItemsSuffix, storedText(itemTexts(list).join(QChar('\n')))));
    const QStringList items = joined.isEmpty() ? QStringList() : joined.split(QChar('\n'));
    const QString checks =
        QString::fromStdString(file.readText(key + kChecksSuffix, checkedRows(list).toStdString()));
    const int current = readInt(file, key + kCurrentSuffix, list->currentRow());

    list->clear();
    list->addItems(items);
    if (checkable) {
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem* item = list->item(row);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        for (const QString& part : checks.split(QChar(','), Qt::SkipEmptyParts)) {
            bool number = false;
            const int row = part.trimmed().toInt(&number);
            if (number && row >= 0 && row < list->count()) list->item(row)->setCheckState(Qt::Checked);
        }
    }
    list->setCurrentRow(current >= 0 && current < list->count() ? current : -1);
}

bool saveCombo(config::SettingsFile& file, const QComboBox* combo) {
    const std::string key = keyOf(combo);
    bool ok = file.writeNumber(key, combo->currentIndex());
    if (combo->isEditable()) ok = file.writeText(key + kTextSuffix, storedText(combo->currentText())) && ok;
    return ok;
}

void loadCombo(config::SettingsFile& file, QComboBox* combo) {
    const std::string key = keyOf(combo);
    const int index = readInt(file, key, combo->currentIndex());
    if (index >= -1 && index < combo->count()) combo->setCurrentIndex(index);
    if (combo->isEditable()) {
        combo->setEditText(shownText(file.readText(key + kTextSuffix, storedText(combo->currentText()))));
    }
}

// True when `widget` is inside `root` without passing through a window of its own on the way.
bool belongsTo(const QWidget* widget, const QWidget* root) {
    for (const QWidget* at = widget; at && at != root; at = at->parentWidget()) {
        if (at->isWindow()) return false;
    }
    return true;
}

bool startsWith(const QString& name, const QString& prefix) { return name.startsWith(prefix); }

}  // namespace

QString tagOf(const QObject* object) {
    return object ? object->property(kTagProperty).toString() : QString();
}

void setTag(QObject* object, const QString& tag) {
    if (object) object->setProperty(kTagProperty, tag);
}

bool saveCheckBox(config::SettingsFile& file, const QAbstractButton* box) {
    return file.writeBool(keyOf(box), box->isChecked());
}

void loadCheckBox(config::SettingsFile& file, QAbstractButton* box) {
    box->setChecked(file.readBool(keyOf(box), box->isChecked()));
}

bool saveRadio(config::SettingsFile& file, const QAbstractButton* radio) { return saveCheckBox(file, radio); }

void loadRadio(config::SettingsFile& file, QAbstractButton* radio) {
    // Qt refuses to uncheck the checked radio of an exclusive group; checking its sibling does it,
    // so the saved states come back whatever the order of the loads.
    radio->setChecked(file.readBool(keyOf(radio), radio->isChecked()));
}

bool saveEditBox(config::SettingsFile& file, const QWidget* edit) {
    const std::string text = storedText(editText(edit));
    if (tagOf(edit) == kTagBytes) return file.writeBytes(keyOf(edit), text::utf8ToGbk(text));
    return file.writeText(keyOf(edit), text);
}

void loadEditBox(config::SettingsFile& file, QWidget* edit) {
    const std::string current = storedText(editText(edit));
    std::string text;
    if (tagOf(edit) == kTagBytes) {
        text = text::gbkToUtf8(file.readBytes(keyOf(edit), text::utf8ToGbk(current)));
    } else {
        text = file.readText(keyOf(edit), current);
    }
    setEditText(edit, shownText(text));
}

bool saveMenuCheck(config::SettingsFile& file, const QAction* action) {
    return file.writeBool(action->text().toStdString(), action->isChecked());
}

void loadMenuCheck(config::SettingsFile& file, QAction* action) {
    action->setChecked(file.readBool(action->text().toStdString(), action->isChecked()));
}

bool saveWindow(config::SettingsFile& file, const QWidget* window, const QString& section) {
    file.setSection(section.toStdString());
    file.beginBatch();
    bool ok = true;
    for (const QWidget* control : window->findChildren<QWidget*>()) {
        if (!belongsTo(control, window) || tagOf(control) == kTagNoSave) continue;
        const QString name = control->objectName();
        if (startsWith(name, kEditPrefix) && isEditBox(control)) {
            ok = saveEditBox(file, control) && ok;
        } else if (startsWith(name, kCheckPrefix) || startsWith(name, kRadioPrefix)) {
            if (auto button = qobject_cast<const QAbstractButton*>(control))
                ok = saveCheckBox(file, button) && ok;
        } else if (startsWith(name, kComboPrefix)) {
            if (auto combo = qobject_cast<const QComboBox*>(control)) ok = saveCombo(file, combo) && ok;
        } else if (startsWith(name, kListPrefix) || startsWith(name, kCheckedListPrefix)) {
            if (auto list = qobject_cast<const QListWidget*>(control)) {
                ok = saveList(file, list, startsWith(name, kCheckedListPrefix)) && ok;
            }
        } else if (startsWith(name, kColorPrefix)) {
            const QVariant color = control->property(kColorValueProperty);
            if (color.isValid()) ok = file.writeNumber(keyOf(control), color.toInt()) && ok;
        } else if (startsWith(name, kButtonPrefix)) {
            ok = file.writeText(keyOf(control) + kTagSuffix, storedText(tagOf(control))) && ok;
        }
    }
    return file.endBatch() && ok;
}

void loadWindow(config::SettingsFile& file, QWidget* window, const QString& section) {
    file.setSection(section.toStdString());
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!belongsTo(control, window) || tagOf(control) == kTagNoSave) continue;
        const QString name = control->objectName();
        if (startsWith(name, kEditPrefix) && isEditBox(control)) {
            loadEditBox(file, control);
        } else if (startsWith(name, kCheckPrefix)) {
            if (auto box = qobject_cast<QAbstractButton*>(control)) loadCheckBox(file, box);
        } else if (startsWith(name, kRadioPrefix)) {
            if (auto radio = qobject_cast<QAbstractButton*>(control)) loadRadio(file, radio);
        } else if (startsWith(name, kComboPrefix)) {
            if (auto combo = qobject_cast<QComboBox*>(control)) loadCombo(file, combo);
        } else if (startsWith(name, kListPrefix) || startsWith(name, kCheckedListPrefix)) {
            if (auto list = qobject_cast<QListWidget*>(control)) {
                loadList(file, list, startsWith(name, kCheckedListPrefix));
            }
        } else if (startsWith(name, kColorPrefix)) {
            const QVariant color = control->property(kColorValueProperty);
            if (color.isValid()) {
                control->setProperty(kColorValueProperty, readInt(file, keyOf(control), color.toInt()));
            }
        } else if (startsWith(name, kButtonPrefix)) {
            setTag(control,
                   shownText(file.readText(keyOf(control) + kTagSuffix, storedText(tagOf(control)))));
        }
    }
}

}  // namespace oz::ui
