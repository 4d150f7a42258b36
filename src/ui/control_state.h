#pragma once

#include <QString>

class QAbstractButton;
class QAction;
class QObject;
class QWidget;

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

// A control's tag: a short text kept in the control's dynamic property "tag". Windows set it where
// the control is made; saveWindow/loadWindow read two tags:
//   kTagBytes  ("字节集方式") an edit box whose text is kept as a byte file (GBK, CR LF) beside the
//              settings file instead of in it, so long multi-line lists survive;
//   kTagNoSave ("禁止保存") a control that saveWindow/loadWindow leave alone.
// A "按钮" button's tag is itself saved, under its name + ".标记".
inline constexpr char kTagProperty[] = "tag";
inline const QString kTagBytes = QStringLiteral("字节集方式");
inline const QString kTagNoSave = QStringLiteral("禁止保存");

QString tagOf(const QObject* object);
void setTag(QObject* object, const QString& tag);

// Gives a new control the object name its state is stored under, and hands it back.
template <class Widget>
Widget* named(Widget* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// A colour picker ("颜色选择器…") is any widget with an int property "colorValue" holding the colour
// in the stored form 0x00BBGGRR. Give it a Q_PROPERTY with a WRITE function so a load repaints it.
inline constexpr char kColorValueProperty[] = "colorValue";

// The control-state operations. Each saves a control's state in the settings file's current
// section under the control's objectName, or loads it with the control's current state as the
// default and puts the result back into the control. Saves return false when the file refused the
// write (its lastError() tells why).
//
// Stored forms: check box and radio "真"/"假"; edit box its text with line breaks as CR LF (QLineEdit,
// QPlainTextEdit, QTextEdit as plain text), or the GBK bytes of that text when tagged kTagBytes;
// menu item its check mark under the action's text().
bool saveCheckBox(config::SettingsFile& file, const QAbstractButton* box);
void loadCheckBox(config::SettingsFile& file, QAbstractButton* box);
bool saveRadio(config::SettingsFile& file, const QAbstractButton* radio);
void loadRadio(config::SettingsFile& file, QAbstractButton* radio);
bool saveEditBox(config::SettingsFile& file, const QWidget* edit);
void loadEditBox(config::SettingsFile& file, QWidget* edit);
bool saveMenuCheck(config::SettingsFile& file, const QAction* action);
void loadMenuCheck(config::SettingsFile& file, QAction* action);

// Sets the section, then saves or loads every control of the window by its name's prefix:
//   "编辑框"     QLineEdit / QPlainTextEdit / QTextEdit, as saveEditBox
//   "选择框"     check box, "单选框" radio button
//   "组合框"     QComboBox: the 0-based index under the name; an editable one also its text
//               under name + ".内容"
//   "列表框"     QListWidget: the items under name + ".列表" (one per CR LF line) and the current
//               row under name + ".选中" (-1 for none)
//   "选择列表框" QListWidget of checkable items: as "列表框", plus the 0-based rows of the checked
//               items under name + ".打勾", joined by ","
//   "颜色选择器" the "colorValue" property, as a number
//   "按钮"       the button's tag, under name + ".标记"
// Controls tagged kTagNoSave are skipped, and so are the controls of other windows the window owns
// (a child with a window of its own keeps its own section). saveWindow writes all keys in one flush.
bool saveWindow(config::SettingsFile& file, const QWidget* window, const QString& section);
void loadWindow(config::SettingsFile& file, QWidget* window, const QString& section);

}  // namespace oz::ui
