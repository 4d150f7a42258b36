#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "tests/ui/ui_fakes.h"
#include "ui/main_program.h"

// The fakes every window test relies on: scripted answers come back in order, then the safe default.
class DialogsTest : public QObject {
    Q_OBJECT
   private slots:
    void scriptedAnswersThenSafeDefault() {
        oz::test::ScriptedDialogs scripted;
        oz::ui::Dialogs& dialogs = scripted;  // the default arguments live on the interface
        scripted.answers.push_back(oz::ui::Dialogs::Answer::Yes);
        using B = oz::ui::Dialogs::Buttons;
        QCOMPARE(dialogs.message(nullptr, "a", "b", B::YesNo), oz::ui::Dialogs::Answer::Yes);
        QCOMPARE(dialogs.message(nullptr, "c", {}, B::YesNo), oz::ui::Dialogs::Answer::No);
        QCOMPARE(scripted.messages.at(0).title, QStringLiteral("Orvane：b"));
        QCOMPARE(scripted.messages.at(1).title, QStringLiteral("Orvane："));
    }

    // Regression: a message of 60 lines made a box taller than the screen, its buttons out of reach.
    void noMessageBoxTallerThanTheScreen() {
        QStringList lines;
        for (int i = 1; i <= 200; ++i) lines << QStringLiteral("/data/日志/第 %1 个文件.txt").arg(i);
        int height = 0;
        int available = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            height = box->frameGeometry().height();
            available = box->screen()->availableGeometry().height();
            QVERIFY(box->detailedText().contains(QStringLiteral("第 200 个文件")));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        oz::ui::QtDialogs qt;
        oz::ui::Dialogs& dialogs = qt;  // the default arguments live on the interface
        dialogs.message(nullptr, lines.join(QStringLiteral("\r\n")), {}, oz::ui::Dialogs::Buttons::Ok);
        QVERIFY(height > 0);
        QVERIFY2(height <= available, qPrintable(QStringLiteral("%1 > %2").arg(height).arg(available)));
    }

    // Every yes-or-no question starts on 否: Enter does not say yes to quitting during a run.
    void aYesNoQuestionStartsOnNo() {
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QTest::keyClick(box, Qt::Key_Return);
        });
        oz::ui::QtDialogs qt;
        oz::ui::Dialogs& dialogs = qt;
        QCOMPARE(dialogs.message(nullptr, QStringLiteral("当前正在更新中，请问是否还继续退出？"), {},
                                 oz::ui::Dialogs::Buttons::YesNo),
                 oz::ui::Dialogs::Answer::No);
    }

    // Qt's own buttons and file dialogs speak Chinese where the system speaks no language Qt has a
    // translation for (here the C locale of the tests); before, they said OK, Cancel, Yes, No.
    void qtsOwnTextsInChinese() {
        if (QLocale::system().language() != QLocale::C) QSKIP("the test's system has a language of its own");
        oz::ui::installQtTranslations();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Retry"), QStringLiteral("重试"));
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
