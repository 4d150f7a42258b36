#include "ui/text_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QtTest>

#include "tests/ui/ui_fakes.h"
#include "ui/form_widgets.h"
#include "ui/help_text.h"

using oz::ui::TextDialogOptions;

namespace {

QPushButton* button(QDialog& dialog, const char* name) {
    return dialog.findChild<QPushButton*>(QString::fromUtf8(name));
}
QPlainTextEdit* body(QDialog& dialog) {
    return dialog.findChild<QPlainTextEdit*>(QStringLiteral("编辑框正文"));
}

}  // namespace

// The text window driven through its test hook: every case closes it from inside, so none blocks.
class TextDialogTest : public QObject {
    Q_OBJECT
    oz::test::ScriptedDialogs dialogs;

   private slots:
    void cleanup() {
        oz::ui::setTextDialogTestHook({});
        dialogs = {};
    }

    void inputModeDefaultsAndConfirm() {
        QString seen;
        bool secondOpened = true;
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            seen = d.windowTitle() + "|" + d.findChild<QLabel*>(QStringLiteral("编辑框提示"))->text();
            QString other = "x";
            secondOpened = oz::ui::showTextDialog(other, {}, {}, nullptr, dialogs);
            QVERIFY(button(d, "按钮文件")->isHidden());
            body(d)->setPlainText("甲\n乙");
            button(d, "按钮确定")->click();
        });
        QString text = "旧";
        QVERIFY(oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs));
        QCOMPARE(seen, QStringLiteral("输入：|请输入数据："));
        QVERIFY(!secondOpened);
        QCOMPARE(text, QStringLiteral("甲\r\n乙"));
        QVERIFY(dialogs.messages.isEmpty());  // OK never asks
    }

    // Regression: Ctrl+V of a long text (5.5 MB held the window a fifth of a second) was pasted
    // by the box on the window thread; it goes in off it, in place of the selection, the cursor
    // after it, and 确定 takes it.
    void longTextPastedWithCtrlVGoesInPlaceOfTheSelection() {
        QApplication::clipboard()->setText(QStringLiteral("粘贴的一行\r\n").repeated(5000));
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            QPlainTextEdit* box = body(d);
            QTRY_VERIFY(!oz::ui::isBoxTextPending(box));
            QTextCursor cursor = box->textCursor();
            cursor.setPosition(1);
            cursor.setPosition(2, QTextCursor::KeepAnchor);  // the "中"
            box->setTextCursor(cursor);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QVERIFY(oz::ui::isBoxTextPending(box));
            QTRY_VERIFY(!oz::ui::isBoxTextPending(box));
            QCOMPARE(box->textCursor().position(), 1 + 6 * 5000);
            button(d, "按钮确定")->click();
        });
        QString text = QStringLiteral("前中后");
        QVERIFY(oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs));
        QCOMPARE(text, QStringLiteral("前") + QStringLiteral("粘贴的一行\r\n").repeated(5000) +
                           QStringLiteral("后"));
    }

    // Regression: Ctrl+V while the window's own long text was still on its way into the box (the
    // box read-only meanwhile) was lost, a long paste and a short one alike; both go at its end.
    void pasteWhileTheTextIsOnItsWayIsKept() {
        const QString lines = QStringLiteral("关键词\r\n").repeated(25000);
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            QPlainTextEdit* box = body(d);
            QVERIFY(oz::ui::isBoxTextPending(box));
            QApplication::clipboard()->setText(QStringLiteral("粘贴的一行\n").repeated(5000));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QApplication::clipboard()->setText(QStringLiteral("短"));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QTRY_VERIFY(!oz::ui::isBoxTextPending(box) && button(d, "按钮确定")->isEnabled());
            QVERIFY(!box->isReadOnly());
            QTest::mouseClick(button(d, "按钮确定"), Qt::LeftButton);
        });
        QString text = lines;
        QVERIFY(oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs));
        QCOMPARE(text, lines + QStringLiteral("粘贴的一行\r\n").repeated(5000) + QStringLiteral("短"));
    }

    // 20,000 pasted lines come into the box off the window thread (on it they held the window up
    // for a tenth of a second); 确定, Ctrl+Enter included, waits until they are in.
    void longPasteComesInBeforeConfirm() {
        QString keywords;
        for (int i = 0; i < 20000; ++i) keywords += QStringLiteral("关键词%1\n").arg(i);
        QApplication::clipboard()->setText(keywords);
        bool waited = false;
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            QTest::mouseClick(button(d, "按钮粘贴"), Qt::LeftButton);
            waited = !button(d, "按钮确定")->isEnabled();
            QTest::keyClick(body(d), Qt::Key_Return, Qt::ControlModifier);
            QVERIFY(d.isVisible());
            QTRY_VERIFY(button(d, "按钮确定")->isEnabled());
            QTest::mouseClick(button(d, "按钮确定"), Qt::LeftButton);
        });
        QString text;
        QVERIFY(oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs));
        QVERIFY(waited);
        QCOMPARE(text.count(QStringLiteral("\r\n")), 20000);
    }

    // The latest text wins: 清空 and a second paste while the first is on its way leave the second.
    void textPutWhileOneIsOnItsWayWins() {
        const auto lines = [](const QString& word, int count) {
            QString text;
            for (int i = 0; i < count; ++i) text += word.arg(i);
            return text;
        };
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            QApplication::clipboard()->setText(lines(QStringLiteral("甲%1\n"), 20000));
            QTest::mouseClick(button(d, "按钮粘贴"), Qt::LeftButton);
            QTest::mouseClick(button(d, "按钮清空"), Qt::LeftButton);
            QCOMPARE(body(d)->toPlainText(), QString());
            QApplication::clipboard()->setText(lines(QStringLiteral("乙%1\n"), 25000));
            QTest::mouseClick(button(d, "按钮粘贴"), Qt::LeftButton);
            QTRY_VERIFY(button(d, "按钮确定")->isEnabled());
            QTest::mouseClick(button(d, "按钮确定"), Qt::LeftButton);
        });
        QString text;
        QVERIFY(oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs));
        QCOMPARE(text.count(QStringLiteral("\r\n")), 25000);
        QVERIFY(!text.contains(QStringLiteral("甲")));
    }

    // Escape on a text left as it came closes the window without asking, whatever its line ends,
    // also a long text still on its way into the box or just in.
    void unchangedTextClosesWithoutAsking_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("waitUntilIn");
        QTest::newRow("mixed line ends") << QStringLiteral("甲\r\n乙\r丙\n\n") << false;
        QTest::newRow("long, on its way") << QStringLiteral("关键词\r\n").repeated(25000) << false;
        QTest::newRow("long, in") << QStringLiteral("关键词\r").repeated(25000) << true;
    }
    void unchangedTextClosesWithoutAsking() {
        QFETCH(QString, text);
        QFETCH(bool, waitUntilIn);
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            if (waitUntilIn) QTRY_VERIFY(!oz::ui::isBoxTextPending(body(d)));
            QTest::keyClick(&d, Qt::Key_Escape);
            QVERIFY(!d.isVisible());
        });
        QVERIFY(!oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void displayModeHidesEditing() {
        QString seen;
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            seen = d.windowTitle() + "|" + d.findChild<QLabel*>(QStringLiteral("编辑框提示"))->text() + "|" +
                   button(d, "按钮取消")->text();
            QVERIFY(button(d, "按钮确定")->isHidden());
            QVERIFY(d.findChild<QWidget*>(QStringLiteral("外形框"))->isHidden());
            QVERIFY(body(d)->isReadOnly());
            QVERIFY(button(d, "按钮取消")->isDefault());
            QVERIFY(body(d)->toPlainText().contains("[#id#]"));
            button(d, "按钮取消")->click();
        });
        oz::ui::showHelpText(nullptr, dialogs);
        QCOMPARE(seen, QStringLiteral("疑点说明|以下为信息详情：|关闭(&G)"));
    }

    // 恢复 (empty and set), 清空, 粘贴, 文件名 with three files, then leaving with changed text.
    void barButtonsAndDiscardQuestion() {
        QTemporaryDir dir;
        QStringList files;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) files << dir.filePath(name);
        dialogs.fileNames.push_back(files);
        dialogs.answers = {oz::ui::Dialogs::Answer::Ok, oz::ui::Dialogs::Answer::No,
                           oz::ui::Dialogs::Answer::Yes};
        QApplication::clipboard()->setText("剪贴板");
        QStringList steps;
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            button(d, "按钮恢复")->click();  // empty restore value: the message, text kept
            steps << body(d)->toPlainText();
            button(d, "按钮粘贴")->click();
            steps << body(d)->toPlainText();
            button(d, "按钮清空")->click();
            button(d, "按钮文件名")->click();
            steps << body(d)->toPlainText();
            button(d, "按钮取消")->click();  // No: stays open
            steps << (d.isVisible() ? "open" : "closed");
            button(d, "按钮取消")->click();  // Yes: discards
        });
        TextDialogOptions options;
        options.fileNameButton = true;
        QString text = "原文";
        QVERIFY(!oz::ui::showTextDialog(text, "提示", "标题", nullptr, dialogs, options));
        QCOMPARE(text, QStringLiteral("原文"));
        QCOMPARE(dialogs.fileTitles, QStringList{QStringLiteral("选择多个文件，将导入其文件路径")});
        QCOMPARE(steps.at(0), QStringLiteral("原文"));
        QCOMPARE(steps.at(1), QStringLiteral("剪贴板"));
        QCOMPARE(steps.at(2), files.join("\n") + "\n");
        QCOMPARE(steps.at(3), QStringLiteral("open"));
        QCOMPARE(dialogs.messages.size(), 3);
        QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("启动值为空！"));
        QCOMPARE(dialogs.messages.at(1).text, QStringLiteral("内容已被改动，是否要放弃？"));

        // The same three files confirmed: three lines, each with CR LF.
        dialogs = {};
        dialogs.fileNames.push_back(files);
        options.restoreValue = "启动值";
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            button(d, "按钮恢复")->click();
            steps << body(d)->toPlainText();
            button(d, "按钮清空")->click();
            button(d, "按钮文件名")->click();
            button(d, "按钮确定")->click();
        });
        QVERIFY(oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs, options));
        QCOMPARE(steps.last(), QStringLiteral("启动值"));
        QCOMPARE(text, files.join("\r\n") + "\r\n");
    }

    // 495 × 393 and centred as it shows; before, the buttons widened it to about 607 × 417 after
    // it had been centred for its first size.
    void sizedAndCentred() {
        QSize size;
        QPoint offCentre;
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            size = d.size();
            offCentre = d.geometry().center() - d.screen()->availableGeometry().center();
            d.reject();
        });
        TextDialogOptions options;
        options.contentButton = true;
        options.fileNameButton = true;
        QString text;
        oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs, options);
        QCOMPARE(size, QSize(495, 393));
        QVERIFY2(offCentre.manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    }

    // An imported file starts on a line of its own when the text does not end with a line break;
    // a file that is no text is refused with a message.
    void importsStartOnANewLine() {
        QTemporaryDir dir;
        const QString listFile = dir.filePath("list.txt");
        const QString binaryFile = dir.filePath("picture.txt");
        QFile list(listFile);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("\xFF\xFE\x32\x80\x0D\x00\x0A\x00", 8);  // UTF-16 LE: 耲 CR LF
        list.close();
        QFile binary(binaryFile);
        QVERIFY(binary.open(QIODevice::WriteOnly));
        binary.write(QByteArray("GIF89a\0\0\x01", 9));
        binary.close();
        dialogs.fileNames.push_back({listFile, binaryFile});
        dialogs.fileNames.push_back({listFile});
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            button(d, "按钮文件")->click();
            button(d, "按钮文件名")->click();
            button(d, "按钮确定")->click();
        });
        TextDialogOptions options;
        options.contentButton = true;
        options.fileNameButton = true;
        QString text = "甲";
        QVERIFY(oz::ui::showTextDialog(text, {}, {}, nullptr, dialogs, options));
        QCOMPARE(text, QStringLiteral("甲\r\n\u8032\r\n") + QDir::toNativeSeparators(listFile) + "\r\n");
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages.at(0).text.endsWith(binaryFile));
    }

    void helpTextWraps() {
        bool wraps = false;
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            wraps = body(d)->lineWrapMode() == QPlainTextEdit::WidgetWidth;
            d.reject();
        });
        oz::ui::showHelpText(nullptr, dialogs);
        QVERIFY(wraps);
    }
};

QTEST_MAIN(TextDialogTest)
#include "text_dialog_test.moc"
