#include <QLocale>
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
