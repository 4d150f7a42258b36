#include "ui/site_list_panel.h"

#include <QFile>
#include <QGroupBox>
#include <QSignalSpy>
#include <algorithm>
#include <filesystem>

#include "tests/ui/main_window_fixture.h"

// The site list panel inside the real main window: editing, the multi-check rule, the check marks
// stored at once, export and import.
class SiteListPanelTest : public QObject, public oz::test::MainWindowFixture {
    Q_OBJECT

   public:
    // 导出 and 导入 write and read off the window thread: the click, then the wait for the end.
    void clickFileButton(const char* name) {
        QSignalSpy done(&window->sitePanel(), &oz::ui::SiteListPanel::fileWorkFinished);
        w<QPushButton>(name)->click();
        QVERIFY(done.wait(10000));
    }

   private slots:
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void addAndModifySites() {
        typeSite("http://www.a.com/", "admin", "pw");
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(list()->count(), 1);
        QCOMPARE(list()->item(0)->text(), QStringLiteral("www.a.com(admin)"));
        QVERIFY(w<QGroupBox>("分组框3")->title().startsWith(QStringLiteral("dedeCMS网站列表(1) - ")));

        typeSite("www.a.com", "admin", "other password");  // same domain and user: refused
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(list()->count(), 1);
        QVERIFY(lastMessage().startsWith(
            QStringLiteral("网站列表中已存在相同的‘域名(用户名)’：www.a.com(admin)")));

        typeSite("www.a.com", "editor", "pw");  // another user: a second site
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(list()->count(), 2);

        // Modify keeps the entry's check mark and shows "已改" for a second.
        list()->item(0)->setCheckState(Qt::Unchecked);
        list()->setCurrentRow(0);
        w<QLineEdit>("编辑框文章来源")->setText(QStringLiteral("来源"));
        w<QPushButton>("按钮修改")->click();
        QCOMPARE(w<QPushButton>("按钮修改")->text(), QStringLiteral("已改"));
        QTRY_COMPARE_WITH_TIMEOUT(w<QPushButton>("按钮修改")->text(), QStringLiteral("修改"), 2000);
        QCOMPARE(window->siteList().sites[0].source, std::string("来源"));
        QCOMPARE(list()->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(!window->siteList().sites[0].enabled);

        // Renaming it onto the other entry is refused; an empty password names the field.
        typeSite("www.a.com", "editor", "pw");
        w<QPushButton>("按钮修改")->click();
        QVERIFY(lastMessage().startsWith(QStringLiteral("网站列表中已存在相同的")));
        typeSite("b.com", "x", "");
        w<QPushButton>("按钮添加")->click();
        QCOMPARE(lastMessage(), QStringLiteral("密码不能为空！"));
    }

    void multiCheck_data() {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("checked");
        QTest::newRow("shift") << int(Qt::ShiftModifier) << "2,3,4,5";
        QTest::newRow("shift+ctrl") << int(Qt::ShiftModifier | Qt::ControlModifier) << "2,3,4,5,7,9";
        QTest::newRow("ctrl") << int(Qt::ControlModifier) << "5,7,9";
    }
    void multiCheck() {
        QFETCH(int, modifiers);
        QFETCH(QString, checked);
        addSites(10);
        w<QPushButton>("按钮不启")->click();
        list()->item(6)->setCheckState(Qt::Checked);
        list()->item(8)->setCheckState(Qt::Checked);
        window->sitePanel().applyMultiCheck(1, {});  // entry 2 clicked first
        window->sitePanel().applyMultiCheck(4, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(checkedRows().join(','), checked);
        // Every change is in the settings file at once.
        oz::config::SettingsFile reread;
        QVERIFY(reread.open(settingsPath(), oz::config::SettingsFile::Mode::ReadOnly));
        reread.setSection("站点序号_5");
        QVERIFY(reread.readBool("启用"));
        reread.setSection("站点序号_1");
        QVERIFY(!reread.readBool("启用", true));
    }

    void exportAndImport() {
        for (const char* domain : {"a.com", "b.com"}) {
            typeSite(domain, "u", "p");
            w<QPushButton>("按钮添加")->click();
        }
        const QString file = QString::fromStdString((dataDir() / "sites.ini").string());
        fakes->dialogs.fileNames.push_back({file});
        clickFileButton("按钮导出");
        QVERIFY(lastMessage().startsWith(QStringLiteral("导出站点配置成功：") + file));
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        w<QPushButton>("按钮清空")->click();
        QCOMPARE(list()->count(), 0);
        fakes->dialogs.fileNames.push_back({file});
        clickFileButton("按钮导入");
        QCOMPARE(list()->count(), 2);
        QCOMPARE(list()->item(1)->text(), QStringLiteral("b.com(u)"));
        QCOMPARE(fakes->dialogs.fileTitles,
                 QStringList({QStringLiteral("将站点配置文件导出"), QStringLiteral("将站点配置文件导入")}));
        QCOMPARE(window->runOptions().importPath, file.toStdString());
    }

    // A double click on an entry toggles its check mark and stores it at once; before, it did
    // nothing.
    void doubleClickTogglesTheCheckMark() {
        addSites(2);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect entry = list()->visualItemRect(list()->item(0));
        const QPoint onText = entry.center() + QPoint(entry.width() / 4, 0);
        // A double click as the system delivers it: press, release, then the double click.
        auto doubleClick = [&] {
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, onText);
            QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, onText);
        };
        doubleClick();
        QCOMPARE(list()->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(!window->siteList().sites[0].enabled);
        oz::config::SettingsFile reread;
        QVERIFY(reread.open(settingsPath(), oz::config::SettingsFile::Mode::ReadOnly));
        reread.setSection("站点序号_1");
        QVERIFY(!reread.readBool("启用", true));
        doubleClick();
        QCOMPARE(list()->item(0)->checkState(), Qt::Checked);
    }

    // Export into an existing file says that it merges, asked instead of the file dialog's
    // "replace" question; it leaves no lock file, and only a successful one is remembered.
    void exportIntoAnExistingFile() {
        addSites(3);
        const QString file = QString::fromStdString((dataDir() / "sites.ini").string());
        fakes->dialogs.fileNames.push_back({file});
        clickFileButton("按钮导出");
        QVERIFY(lastMessage().startsWith(QStringLiteral("导出站点配置成功：")));
        QCOMPARE(fakes->dialogs.overwriteConfirmed, QList<bool>{false});
        QVERIFY(!QFile::exists(file + ".lock"));

        list()->setCurrentRow(2);
        w<QPushButton>("按钮删除")->click();
        fakes->dialogs.fileNames.push_back({file});
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        clickFileButton("按钮导出");
        QVERIFY(fakes->dialogs.messages.at(fakes->dialogs.messages.size() - 2)
                    .text.startsWith(QStringLiteral("文件已存在：") + file));
        oz::config::SettingsFile exported;
        QVERIFY(exported.open(file.toStdString(), oz::config::SettingsFile::Mode::ReadOnly));
        exported.setSection("站点配置");
        QCOMPARE(exported.readNumber("站点数"), 2.0);
        const auto sections = exported.sectionNames();
        QVERIFY(std::find(sections.begin(), sections.end(), "站点序号_3") == sections.end());

        const QString bad = QString::fromStdString((dataDir() / "missing" / "x.ini").string());
        fakes->dialogs.fileNames.push_back({bad});
        clickFileButton("按钮导出");
        QVERIFY(lastMessage().startsWith(QStringLiteral("导出失败：")));
        QCOMPARE(window->runOptions().exportPath, file.toStdString());
    }

    // Regression: an export into a new file that failed (here its byte values could not be
    // written: "inibin" is a file) left an empty file of that name behind.
    void aFailedExportLeavesNoFile() {
        addSites(1);
        oz::config::SiteConfig site = window->sitePanel().list().sites[0];
        site.user = "v";
        site.categoryTree = "tree bytes";
        window->sitePanel().appendSite(site);
        const std::filesystem::path folder = dataDir() / "out";
        std::filesystem::create_directories(folder);
        QFile blocker(QString::fromStdString((folder / oz::config::kByteValuesFolder).string()));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString file = QString::fromStdString((folder / "sites.ini").string());
        fakes->dialogs.fileNames.push_back({file});
        clickFileButton("按钮导出");
        QVERIFY(lastMessage().startsWith(QStringLiteral("导出失败：")));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    }
};

QTEST_MAIN(SiteListPanelTest)
#include "site_list_panel_test.moc"
