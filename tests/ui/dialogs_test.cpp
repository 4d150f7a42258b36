#include <QtTest>

#include "tests/ui/ui_fakes.h"

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
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
