#include "ui/control_state.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "config/atomic_file.h"
#include "config/settings_file.h"
#include "text/charset.h"

namespace {

// One control of every kind the window operations know, plus the two that they must leave alone:
// a "禁止保存" box and a box of a window the root owns.
struct Tree {
    QWidget root;
    QLineEdit* line = new QLineEdit(&root);
    QPlainTextEdit* lines = new QPlainTextEdit(&root);
    QPlainTextEdit* bytes = new QPlainTextEdit(&root);
    QLineEdit* unsaved = new QLineEdit(&root);
    QCheckBox* check = new QCheckBox(&root);
    QRadioButton* radioA = new QRadioButton(&root);
    QRadioButton* radioB = new QRadioButton(&root);
    QComboBox* combo = new QComboBox(&root);
    QListWidget* list = new QListWidget(&root);
    QListWidget* checkedList = new QListWidget(&root);
    QWidget* color = new QWidget(&root);
    QPushButton* button = new QPushButton(&root);
    QWidget* owned = new QWidget(&root, Qt::Window);
    QLineEdit* ownedEdit = new QLineEdit(owned);
    QAction menu{QStringLiteral("XML地图")};

    Tree() {
        line->setObjectName("编辑框单行");
        lines->setObjectName("编辑框多行");
        bytes->setObjectName("编辑框列表");
        oz::ui::setTag(bytes, oz::ui::kTagBytes);
        unsaved->setObjectName("编辑框不存");
        oz::ui::setTag(unsaved, oz::ui::kTagNoSave);
        check->setObjectName("选择框甲");
        radioA->setObjectName("单选框甲");
        radioB->setObjectName("单选框乙");
        radioA->setChecked(true);
        combo->setObjectName("组合框甲");
        combo->addItems({"零", "一", "二"});
        list->setObjectName("列表框甲");
        checkedList->setObjectName("选择列表框甲");
        color->setObjectName("颜色选择器甲");
        color->setProperty(oz::ui::kColorValueProperty, 0);
        button->setObjectName("按钮甲");
        ownedEdit->setObjectName("编辑框别窗");
        menu.setCheckable(true);
    }

    void fill() {
        line->setText("单行");
        lines->setPlainText("第一行\n第二行");
        bytes->setPlainText("甲\n乙\n");
        unsaved->setText("不存");
        check->setChecked(true);
        radioB->setChecked(true);
        combo->setCurrentIndex(2);
        list->addItems({"a", "b", "c"});
        list->setCurrentRow(1);
        checkedList->addItems({"x", "y", "z"});
        for (int row = 0; row < 3; ++row) {
            checkedList->item(row)->setFlags(checkedList->item(row)->flags() | Qt::ItemIsUserCheckable);
            checkedList->item(row)->setCheckState(row == 1 ? Qt::Unchecked : Qt::Checked);
        }
        color->setProperty(oz::ui::kColorValueProperty, 0x0000FF);
        oz::ui::setTag(button, "标记文本");
        ownedEdit->setText("别窗");
        menu.setChecked(true);
    }
};

}  // namespace

class ControlStateTest : public QObject {
    Q_OBJECT
   private slots:
    // Everything saveWindow stores comes back through loadWindow in a fresh window, in the stored
    // forms other programs read (真/假, indexes, CR LF as the line marker, GBK byte files).
    void windowRoundTrip() {
        QTemporaryDir folder;
        const std::filesystem::path path = std::filesystem::path(folder.path().toStdString()) / "设置.ini";
        {
            oz::config::SettingsFile file;
            QVERIFY(file.open(path));
            Tree saved;
            saved.fill();
            QVERIFY(oz::ui::saveWindow(file, &saved.root, "窗口"));
            QVERIFY(oz::ui::saveMenuCheck(file, &saved.menu));

            const QString text = QString::fromStdString(file.text());
            QVERIFY(text.contains("选择框甲=真"));
            QVERIFY(text.contains("单选框甲=假"));
            QVERIFY(text.contains("组合框甲=2"));
            QVERIFY(text.contains("编辑框多行=第一行┊*┊第二行"));
            QVERIFY(text.contains("选择列表框甲.打勾=0,2"));
            QVERIFY(text.contains("按钮甲.标记=标记文本"));
            QVERIFY(text.contains("XML地图=真"));
            QVERIFY(!text.contains("编辑框列表="));
            QVERIFY(!text.contains("编辑框不存"));
            QVERIFY(!text.contains("编辑框别窗"));
            std::string error;
            QCOMPARE(oz::config::readWholeFile(file.byteValuePath("编辑框列表"), error).value_or(""),
                     oz::text::utf8ToGbk("甲\r\n乙\r\n"));
        }
        oz::config::SettingsFile file;
        QVERIFY(file.open(path));
        Tree loaded;
        loaded.unsaved->setText("原样");
        oz::ui::loadWindow(file, &loaded.root, "窗口");
        oz::ui::loadMenuCheck(file, &loaded.menu);

        QCOMPARE(loaded.line->text(), QString("单行"));
        QCOMPARE(loaded.lines->toPlainText(), QString("第一行\n第二行"));
        QCOMPARE(loaded.bytes->toPlainText(), QString("甲\n乙\n"));
        QCOMPARE(loaded.unsaved->text(), QString("原样"));
        QVERIFY(loaded.check->isChecked());
        QVERIFY(!loaded.radioA->isChecked());
        QVERIFY(loaded.radioB->isChecked());
        QCOMPARE(loaded.combo->currentIndex(), 2);
        QCOMPARE(loaded.list->count(), 3);
        QCOMPARE(loaded.list->currentRow(), 1);
        QCOMPARE(loaded.checkedList->item(0)->checkState(), Qt::Checked);
        QCOMPARE(loaded.checkedList->item(1)->checkState(), Qt::Unchecked);
        QCOMPARE(loaded.checkedList->item(2)->checkState(), Qt::Checked);
        QCOMPARE(loaded.color->property(oz::ui::kColorValueProperty).toInt(), 0x0000FF);
        QCOMPARE(oz::ui::tagOf(loaded.button), QString("标记文本"));
        QVERIFY(loaded.ownedEdit->text().isEmpty());
        QVERIFY(loaded.menu.isChecked());
    }

    // Keys that are missing, and a stored index the combo no longer has, leave the controls as they are.
    void missingOrUnusableValuesKeepTheControls() {
        QTemporaryDir folder;
        oz::config::SettingsFile file;
        QVERIFY(file.open(std::filesystem::path(folder.path().toStdString()) / "设置.ini"));
        file.setSection("窗口");
        QVERIFY(file.writeNumber("组合框甲", 7));
        Tree tree;
        tree.fill();
        oz::ui::loadWindow(file, &tree.root, "窗口");
        QCOMPARE(tree.combo->currentIndex(), 2);
        QCOMPARE(tree.line->text(), QString("单行"));
        QCOMPARE(tree.bytes->toPlainText(), QString("甲\n乙\n"));
        QVERIFY(tree.radioB->isChecked());
        QCOMPARE(tree.checkedList->item(1)->checkState(), Qt::Unchecked);
        QCOMPARE(tree.checkedList->item(2)->checkState(), Qt::Checked);
    }
};

QTEST_MAIN(ControlStateTest)
#include "control_state_test.moc"
