#include "ui/batch_tools_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "backend/admin_session.h"
#include "backend/run_settings.h"
#include "config/data_folder.h"
#include "config/settings_file.h"
#include "testing/standin_server.h"
#include "tests/ui/ui_fakes.h"
#include "text/charset.h"
#include "ui/main_window.h"
#include "ui/pinyin_window.h"
#include "ui/random_text_window.h"
#include "ui/text_dialog.h"

namespace fs = std::filesystem;

// The batch tools window opened from the real main window over a temporary data folder.
class BatchToolsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<oz::test::UiTestServices> fakes;
    std::unique_ptr<oz::config::SettingsFile> settings;
    std::unique_ptr<oz::ui::MainWindow> main;
    std::unique_ptr<oz::testing::StandinServer> server;  // a fresh one per test

    fs::path settingsPath() const {
        return fs::path(fakes->folder.path().toStdString()) / oz::config::kSettingsFileName;
    }
    void open() {
        main.reset();
        settings = std::make_unique<oz::config::SettingsFile>();
        QVERIFY(settings->open(settingsPath()));
        main = std::make_unique<oz::ui::MainWindow>(*settings, fakes->services());
    }
    oz::ui::BatchToolsWindow* batch() {
        main->openBatchTools();
        return main->batchToolsWindow();
    }
    template <typename T = QWidget>
    T* w(QWidget* in, const char* name) {
        T* widget = in->findChild<T*>(QString::fromUtf8(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    // Stand-in sites s1..sN, each added through the main window's "添加".
    void addStandinSites(int count) {
        for (int n = 1; n <= count; ++n) {
            oz::testing::StandinSite site;
            site.prefix = "s" + std::to_string(n);
            server->addSite(site);
        }
        QVERIFY(server->start());
        for (int n = 1; n <= count; ++n) {
            w<QLineEdit>(main.get(), "编辑框域名")
                ->setText(QString::fromStdString(server->siteDomain("s" + std::to_string(n))));
            w<QLineEdit>(main.get(), "编辑框用户")->setText("admin");
            w<QLineEdit>(main.get(), "编辑框密码")->setText("admin");
            w<QPushButton>(main.get(), "按钮添加")->click();
        }
    }
    // How many requests to `page` the site received.
    int count(const char* prefix, const char* page) {
        int n = 0;
        for (const auto& r : server->requests(prefix)) n += r.path.find(page) != std::string::npos;
        return n;
    }
    // The text windows an action ends with ("title|hint|text"), closed at once; a list asked for is
    // answered with `input`.
    QStringList reports;
    QString input;
    void answerTextWindows() {
        oz::ui::setTextDialogTestHook([this](QDialog& d) {
            auto* body = d.findChild<QPlainTextEdit*>(QStringLiteral("编辑框正文"));
            if (!body->isReadOnly()) {
                body->setPlainText(input);
                d.findChild<QPushButton*>(QStringLiteral("按钮确定"))->click();
                return;
            }
            const QString hint = d.findChild<QLabel*>(QStringLiteral("编辑框提示"))->text();
            reports << d.windowTitle() + "|" + hint + "|" + body->toPlainText();
            d.reject();
        });
    }

    // Stores `count` articles on the stand-in site through its back end, as a publishing run does.
    void storeArticles(const char* prefix, int count) {
        oz::config::SiteConfig site;
        site.domain = server->siteDomain(prefix);
        site.user = site.password = "admin";
        site.adminDir = "dede";
        oz::backend::OptionsRunSettings options{oz::config::RunOptions{}};
        oz::backend::BackendContext context;
        context.settings = &options;
        oz::http::HttpRequester requester;
        oz::backend::AdminSession session{site, requester};
        QVERIFY(oz::backend::login(session, context));
        for (int n = 1; n <= count; ++n) {
            oz::backend::postPage(session, context, oz::backend::backEndBaseUrl(site) + "/article_add.php",
                                  "channelid=1&dopost=save&typeid=1&title=t" + std::to_string(n));
        }
        QCOMPARE(server->articleCount(prefix), static_cast<std::size_t>(count));
    }

    // The ids of the catalog_del.php requests each site received, "s1:1,2;s2:;s3:1,2".
    QString deletedIds() {
        QString out;
        for (const char* prefix : {"s1", "s2", "s3"}) {
            QStringList ids;
            for (const auto& r : server->requests(prefix)) {
                if (r.path.find("catalog_del.php") == std::string::npos) continue;
                const auto at = r.body.find("id=");
                ids << QString::fromStdString(r.body.substr(at + 3, r.body.find('&', at) - at - 3));
            }
            out += QString::fromUtf8(prefix) + ":" + ids.join(",") + ";";
        }
        return out;
    }

   private slots:
    void init() {
        fakes = std::make_unique<oz::test::UiTestServices>();
        server = std::make_unique<oz::testing::StandinServer>();
        open();
    }
    void cleanup() {
        oz::ui::setTextDialogTestHook({});
        main.reset();
        settings.reset();
        server.reset();
    }

    // The generator windows close with the batch tools window that owns them (saving their
    // settings); before, they stayed open on their own.
    void generatorWindowsCloseWithTheBatchWindow() {
        oz::ui::BatchToolsWindow* window = batch();
        QTest::mouseClick(w<QPushButton>(window, "按钮汉字拼音转换器"), Qt::LeftButton);
        QTest::mouseClick(w<QPushButton>(window, "按钮随机文本生成器"), Qt::LeftButton);
        auto* pinyin = window->findChild<oz::ui::PinyinWindow*>();
        auto* random = window->findChild<oz::ui::RandomTextWindow*>();
        QVERIFY(pinyin->isVisible() && random->isVisible());
        QVERIFY(window->close());
        QVERIFY(!pinyin->isVisible());
        QVERIFY(!random->isVisible());
    }

    void deleteCategoriesOverCheckedThenAllSites() {
        addStandinSites(3);
        auto* list = w<QListWidget>(main.get(), "列表框");
        QCOMPARE(list->count(), 3);
        list->item(1)->setCheckState(Qt::Unchecked);

        oz::ui::BatchToolsWindow* window = batch();
        QVERIFY(window != nullptr);
        QCOMPARE(window->windowTitle(), QStringLiteral("批处理工具"));
        QVERIFY(w<QRadioButton>(window, "单选框勾选")->isChecked());
        w<QLineEdit>(window, "编辑框起始ID1")->setText("1");
        w<QLineEdit>(window, "编辑框终止ID1")->setText("2");
        QStringList reports;
        oz::ui::setTextDialogTestHook([&](QDialog& d) {
            auto* body = d.findChild<QPlainTextEdit*>(QStringLiteral("编辑框正文"));
            if (d.windowTitle() == QStringLiteral("创建栏目")) {  // the category list asked for
                body->setPlainText(QStringLiteral("新闻\n体育"));
                d.findChild<QPushButton*>(QStringLiteral("按钮确定"))->click();
                return;
            }
            reports << d.windowTitle() + "|" + body->toPlainText();
            d.reject();
        });
        QSignalSpy done(window, &oz::ui::BatchToolsWindow::actionFinished);
        auto* button = w<QPushButton>(window, "按钮删除栏目");

        // Cancel asks nothing of the sites.
        button->click();
        QCOMPARE(fakes->dialogs.messages.back().text,
                 QStringLiteral("将删除 2 个网站的栏目 ID 1–2，确定吗？\r\n（执行批处理的网站：勾选网站）"));
        QVERIFY(!window->isBusy());

        const QList<std::pair<const char*, QString>> rounds = {{"单选框勾选", "s1:1,2;s2:;s3:1,2;"},
                                                               {"单选框全部", "s1:;s2:1,2;s3:;"}};
        for (const auto& [radio, expected] : rounds) {
            server->clearRequests();
            w<QRadioButton>(window, radio)->setChecked(true);
            fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
            button->click();
            QVERIFY(window->isBusy());
            QVERIFY(!w<QPushButton>(main.get(), "按钮添加")->isEnabled());
            QVERIFY(!w<QRadioButton>(window, "单选框全部")->isEnabled());
            QVERIFY(done.wait(20000));
            QCOMPARE(deletedIds(), expected);
            QCOMPARE(button->text(), QStringLiteral("批量删除栏目"));
            QVERIFY(w<QPushButton>(main.get(), "按钮添加")->isEnabled());
            QVERIFY(w<QRadioButton>(window, "单选框全部")->isEnabled());
        }
        // Creating takes its list from the text dialog and keeps it for the next time.
        server->clearRequests();
        w<QPushButton>(window, "按钮创建栏目")->click();
        QVERIFY(done.wait(20000));
        for (const char* prefix : {"s1", "s2", "s3"}) {
            int added = 0;
            for (const auto& r : server->requests(prefix))
                added += r.path.find("catalog_add.php") != std::string::npos;
            QCOMPARE(added, 2);
        }
        QCOMPARE(w<QPlainTextEdit>(window, "编辑框栏目列表")->toPlainText(), QStringLiteral("新闻\n体育"));
        QCOMPARE(reports.size(), 3);
        QVERIFY2(reports[1].startsWith(QStringLiteral("全部删除完成！|")), qPrintable(reports[1]));
    }

    // Article deletion, creation from list files, the home-page rewrite, then a stop in the middle
    // of a category deletion while the main window refuses to start a run.
    void remainingActionsAndAStop() {
        addStandinSites(3);
        w<QListWidget>(main.get(), "列表框")->item(1)->setCheckState(Qt::Unchecked);
        oz::ui::BatchToolsWindow* window = batch();
        QSignalSpy done(window, &oz::ui::BatchToolsWindow::actionFinished);
        answerTextWindows();

        for (const char* prefix : {"s1", "s3"}) storeArticles(prefix, 250);
        w<QLineEdit>(window, "编辑框终止ID")->setText("250");
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        w<QPushButton>(window, "按钮删除文章")->click();
        QVERIFY(done.wait(20000));
        for (const char* prefix : {"s1", "s3"}) QCOMPARE(count(prefix, "archives_do.php"), 3);
        QCOMPARE(count("s2", "archives_do.php"), 0);
        QVERIFY2(reports.back().startsWith(QStringLiteral("全部删除完成！|")) &&
                     reports.back().endsWith(QStringLiteral("(每批 100 篇)")),
                 qPrintable(reports.back()));

        // A right-button release takes the lines from files named after their parent id.
        const QString file = fakes->folder.filePath(QStringLiteral("3.txt"));
        QFile lines(file);
        QVERIFY(lines.open(QIODevice::WriteOnly));
        lines.write("子栏目\r\n");
        lines.close();
        fakes->dialogs.fileNames.push_back({file});
        server->clearRequests();
        auto* create = w<QPushButton>(window, "按钮创建栏目");
        QTest::mouseClick(create, Qt::RightButton);
        QVERIFY(done.wait(20000));
        for (const char* prefix : {"s1", "s3"}) {
            const auto sent = server->requests(prefix);
            QVERIFY(std::any_of(sent.begin(), sent.end(), [](const auto& r) {
                return r.path.find("catalog_add.php") != std::string::npos &&
                       r.body.starts_with("dopost=save&reid=3&");
            }));
        }
        QCOMPARE(fakes->dialogs.fileTitles.back(),
                 QStringLiteral("选择多个文件，文件名为父id，文件内容为要创建的栏目列表"));

        auto* list = w<QListWidget>(main.get(), "列表框");
        list->setCurrentRow(0);
        w<QRadioButton>(window, "单选框全部")->setChecked(true);
        w<QCheckBox>(window, "选择框修改主页模板")->setChecked(true);
        w<QLineEdit>(window, "编辑框主页模板")->setText("mine/index.htm");
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        w<QPushButton>(window, "按钮开始修改")->click();
        QCOMPARE(fakes->dialogs.messages.back().text, QStringLiteral("确定要修改全部网站的主页？"));
        QVERIFY(done.wait(20000));
        for (const char* prefix : {"s1", "s2", "s3"})
            QCOMPARE(server->homePage(prefix),
                     std::make_pair(std::string("mine/index.htm"), std::string("../index.html")));
        QVERIFY2(reports.back().startsWith(QStringLiteral("全部修改完成！|")), qPrintable(reports.back()));
        QCOMPARE(list->currentRow(), 2);  // the list followed the sites

        // Stopped during the first site's deletion: the batch on the wire ends and is counted as
        // confirmed, and the other sites are never visited.
        oz::testing::StandinFaults slow;
        slow.delayMs = 100;
        server->setFaults("s1", slow);
        storeArticles("s1", 500);
        server->clearRequests();
        auto* remove = w<QPushButton>(window, "按钮删除文章");
        w<QLineEdit>(window, "编辑框终止ID")->setText("100000");
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        remove->click();
        QTRY_VERIFY_WITH_TIMEOUT(remove->text().contains(QStringLiteral("已删除第")), 10000);
        remove->click();
        QCOMPARE(remove->text(), QStringLiteral("正在停止中.."));
        w<QPushButton>(main.get(), "按钮开始更新")->click();
        QCOMPARE(fakes->dialogs.messages.back().text,
                 QStringLiteral("批处理工具正在执行，请等它完成或停止后再开始站群更新。"));
        QVERIFY(done.wait(5000));
        const int sent = count("s1", "archives_do.php");
        QVERIFY(sent < 5);
        QVERIFY2(reports.back().contains(QStringLiteral("已删除 %1 批（已发送 %1 批）").arg(sent)),
                 qPrintable(reports.back()));
        QCOMPARE(count("s2", "archives_do.php") + count("s3", "archives_do.php"), 0);
        QCOMPARE(remove->text(), QStringLiteral("批量删除文章"));
        QCOMPARE(w<QPushButton>(main.get(), "按钮开始更新")->text(), QStringLiteral("开始站群更新"));

        // Closing the program does not wait for a server that never answers.
        slow.neverAnswer = true;
        server->setFaults("s1", slow);
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        remove->click();
        QTRY_VERIFY(remove->text().contains(QStringLiteral("登录中")));
        QElapsedTimer closing;
        closing.start();
        main.reset();
        QVERIFY(closing.elapsed() < 5000);
    }

    // Two imports (the second without reading, while the first site's tree is on show), then the
    // batch reading that skips the site already read.
    void importSitesThenReadTheirCategories() {
        addStandinSites(2);
        main.reset();  // start from an empty list, the stand-in running
        QFile::remove(QString::fromStdString(settingsPath().string()));
        open();
        oz::ui::BatchToolsWindow* window = batch();
        QSignalSpy done(window, &oz::ui::BatchToolsWindow::actionFinished);
        answerTextWindows();
        const QString s1 = QString::fromStdString(server->siteDomain("s1"));
        const QString s2 = QString::fromStdString(server->siteDomain("s2"));
        w<QLineEdit>(window, "编辑框导入延迟秒")->setText("0");
        w<QCheckBox>(window, "选择框读取栏目列表")->setChecked(true);
        w<QCheckBox>(window, "选择框全选栏目列表")->setChecked(true);
        input = s1 + "|admin|admin\n" + s1 + "|admin|other";
        w<QPushButton>(window, "按钮批量导入")->click();
        QVERIFY(done.wait(20000));
        QCOMPARE(fakes->dialogs.messages.back().text,
                 QStringLiteral("导入完成：导入了 1 个站点，现在总共有 1 个站点"));
        QCOMPARE(reports.back(), QStringLiteral("信息：|这是导入失败的站点信息：|") + s1 +
                                     QStringLiteral("|admin|******（网站列表中已存在相同的‘域名(用户名)’：") +
                                     s1 + "(admin)）\n");
        QCOMPARE(main->siteList().sites[0].categoryIds, std::string("1,3,2"));

        w<QCheckBox>(window, "选择框读取栏目列表")->setChecked(false);
        input = s2 + "|admin|admin";
        w<QPushButton>(window, "按钮批量导入")->click();
        QVERIFY(done.wait(20000));
        QCOMPARE(main->siteList().size(), 2);
        QVERIFY(main->siteList().sites[1].categoryIds.empty());
        QCOMPARE(w<QPlainTextEdit>(window, "编辑框域名列表")->toPlainText(), input);

        server->clearRequests();
        w<QRadioButton>(window, "单选框全部")->setChecked(true);
        w<QCheckBox>(window, "选择框跳过已读站点")->setChecked(true);
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        w<QPushButton>(window, "按钮批量读取")->click();
        QCOMPARE(fakes->dialogs.messages.back().text, QStringLiteral("确定要读取全部网站的栏目列表？"));
        QVERIFY(done.wait(20000));
        QCOMPARE(fakes->dialogs.messages.back().text,
                 QStringLiteral("批量读取完成！已经自动写入对应站点配置（无需手动点击【修改】按钮）"));
        QVERIFY(server->requests("s1").empty());
        QCOMPARE(main->siteList().sites[1].categoryIds, std::string("1,3,2"));
        QCOMPARE(w<QListWidget>(main.get(), "列表框")->currentRow(), 1);
    }

    void persistenceRoundTrip() {
        oz::ui::BatchToolsWindow* window = batch();
        QCOMPARE(w<QLineEdit>(window, "编辑框父目录")->text(), QStringLiteral("{cmspath}/a"));
        QVERIFY(!w<QLineEdit>(window, "编辑框栏目数1")->isEnabled());
        w<QRadioButton>(window, "单选框全部")->setChecked(true);
        w<QLineEdit>(window, "编辑框终止ID")->setText("900");
        w<QComboBox>(window, "组合框栏目方式")->setCurrentIndex(1);
        QVERIFY(w<QLineEdit>(window, "编辑框栏目数1")->isEnabled());
        w<QPlainTextEdit>(window, "编辑框栏目列表")->setPlainText(QStringLiteral("新闻\n体育"));
        w<QPlainTextEdit>(window, "编辑框域名列表")
            ->setPlainText(QStringLiteral("a.com|admin|pw\nb.com|admin|pw"));
        window->close();

        open();  // a new main window over the same settings file
        window = batch();
        QVERIFY(w<QRadioButton>(window, "单选框全部")->isChecked());
        QCOMPARE(w<QLineEdit>(window, "编辑框终止ID")->text(), QStringLiteral("900"));
        QVERIFY(w<QLineEdit>(window, "编辑框栏目数1")->isEnabled());
        QCOMPARE(w<QPlainTextEdit>(window, "编辑框栏目列表")->toPlainText(), QStringLiteral("新闻\n体育"));
        QCOMPARE(w<QPlainTextEdit>(window, "编辑框域名列表")->toPlainText(),
                 QStringLiteral("a.com|admin|pw\nb.com|admin|pw"));
    }

    // An id box without a number is said before anything is asked; before, "abc" read as 0 and
    // the window asked to delete the articles from 0 to 0.
    // Regression: a second click on the checked scope button left no scope checked, and the window
    // then acted on every checked site; a deletion's question named neither scope nor sites.
    void oneScopeIsAlwaysCheckedAndDeletionsNameIt() {
        addStandinSites(3);
        w<QListWidget>(main.get(), "列表框")->item(1)->setCheckState(Qt::Unchecked);
        oz::ui::BatchToolsWindow* window = batch();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QList<QRadioButton*> scopes{w<QRadioButton>(window, "单选框选定"),
                                          w<QRadioButton>(window, "单选框勾选"),
                                          w<QRadioButton>(window, "单选框全部")};
        for (QRadioButton* scope : scopes) {
            QTest::mouseClick(scope, Qt::LeftButton);
            QTest::mouseClick(scope, Qt::LeftButton);
            QTest::keyClick(scope, Qt::Key_Space);
            QVERIFY(scope->isChecked());
            QCOMPARE(std::count_if(scopes.begin(), scopes.end(), [](auto* r) { return r->isChecked(); }), 1);
        }
        w<QLineEdit>(window, "编辑框终止ID1")->setText("1040");
        w<QLineEdit>(window, "编辑框终止ID")->setText("9");
        QTest::mouseClick(w<QPushButton>(window, "按钮删除栏目"), Qt::LeftButton);  // cancelled
        QCOMPARE(
            fakes->dialogs.messages.back().text,
            QStringLiteral("将删除 3 个网站的栏目 ID 1–1040，确定吗？\r\n（执行批处理的网站：全部网站）"));
        QTest::mouseClick(scopes[1], Qt::LeftButton);
        QTest::mouseClick(w<QPushButton>(window, "按钮删除文章"), Qt::LeftButton);
        QCOMPARE(fakes->dialogs.messages.back().text,
                 QStringLiteral("将删除 2 个网站的文章 ID 1–9，确定吗？\r\n（执行批处理的网站：勾选网站）"));
        QVERIFY(!window->isBusy());
        QCOMPARE(server->requests("s1").size(), 0u);
    }

    // Regression: closing the main window during a batch action quit at once, with no question
    // and no word of what had been sent.
    void closingDuringAnActionAsksThenLogsItsReport() {
        addStandinSites(1);
        oz::testing::StandinFaults slow;
        slow.delayMs = 150;
        server->setFaults("s1", slow);
        oz::ui::BatchToolsWindow* window = batch();
        reports.clear();
        answerTextWindows();
        w<QLineEdit>(window, "编辑框终止ID1")->setText("3");
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        auto* button = w<QPushButton>(window, "按钮删除栏目");
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(window->isBusy());
        QTRY_VERIFY(button->text().contains(QStringLiteral("登录中")));
        QVERIFY(!main->close());  // no: the program stays and the action goes on
        QCOMPARE(fakes->dialogs.messages.back().text, QStringLiteral("当前正在处理中，请问是否还继续退出？"));
        QVERIFY(window->isBusy());
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Yes);
        QVERIFY(main->close());
        QVERIFY(!window->isBusy());
        QVERIFY(reports.isEmpty());  // nothing shown on the way out
        const QDir logs(fakes->folder.filePath(QString::fromUtf8(oz::config::kLogFolder)));
        const QStringList files = logs.entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QFile log(logs.filePath(files.front()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromStdString(oz::text::gbkToUtf8(log.readAll().toStdString()));
        QVERIFY2(text.contains(QStringLiteral("批处理工具：批量删除栏目（程序退出时停止）")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("/s1 成功 ")), qPrintable(text));
    }

    void idBoxesTakeNumbers() {
        addStandinSites(1);
        oz::ui::BatchToolsWindow* window = batch();
        w<QLineEdit>(window, "编辑框起始ID")->setText("abc");
        w<QPushButton>(window, "按钮删除文章")->click();
        QCOMPARE(fakes->dialogs.messages.size(), 1);
        QCOMPARE(fakes->dialogs.messages.back().text, QStringLiteral("起始ID必须是数字：abc"));
        QVERIFY(!window->isBusy());
        auto* to = w<QLineEdit>(window, "编辑框终止ID");
        to->clear();
        QTest::keyClicks(to, "9x9");
        QCOMPARE(to->text(), QStringLiteral("99"));
    }

    // List files saved as UTF-16 ("Unicode" in Notepad, either byte order) give their categories;
    // a file that is no text is refused with a message. Before, UTF-16 read as GBK made junk
    // categories on every site and reported success.
    void listFilesInEachEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("created");
        const QString lines = QStringLiteral("新闻\r\n体育\r\n");
        QByteArray le("\xFF\xFE", 2);
        QByteArray be("\xFE\xFF", 2);
        for (QChar c : lines) {
            const char16_t u = c.unicode();
            le.append(char(u & 0xFF)).append(char(u >> 8));
            be.append(char(u >> 8)).append(char(u & 0xFF));
        }
        QTest::newRow("UTF-16 LE") << le << 2;
        QTest::newRow("UTF-16 BE") << be << 2;
        QTest::newRow("not text") << QByteArray("a\0\0b\x01\x02", 6) << 0;
    }
    void listFilesInEachEncoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, created);
        addStandinSites(1);
        oz::ui::BatchToolsWindow* window = batch();
        QSignalSpy done(window, &oz::ui::BatchToolsWindow::actionFinished);
        answerTextWindows();
        const QString file = fakes->folder.filePath(QStringLiteral("3.txt"));
        QFile list(file);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(bytes);
        list.close();
        fakes->dialogs.fileNames.push_back({file});
        QTest::mouseClick(w<QPushButton>(window, "按钮创建栏目"), Qt::RightButton);
        if (created > 0) QVERIFY(done.wait(20000));
        QStringList names;
        for (const auto& r : server->requests("s1")) {
            if (r.path.find("catalog_add.php") == std::string::npos) continue;
            const auto at = r.body.find("typename=");
            names << QUrl::fromPercentEncoding(
                QByteArray::fromStdString(r.body.substr(at + 9, r.body.find('&', at) - at - 9)));
        }
        QCOMPARE(names.size(), created);
        if (created > 0) {
            QCOMPARE(names, QStringList({QStringLiteral("新闻"), QStringLiteral("体育")}));
        } else {
            QVERIFY(fakes->dialogs.messages.back().text.startsWith(QStringLiteral("文件不是可读的文本")));
        }
    }

    // While one action runs the others' buttons are off, the list pages' refresh shows in the
    // window's title (the button showed it cut off), and a stopped action's report says so.
    void progressInTheTitleAndAStoppedReport() {
        addStandinSites(2);
        oz::ui::BatchToolsWindow* window = batch();
        QSignalSpy done(window, &oz::ui::BatchToolsWindow::actionFinished);
        QSignalSpy titles(window, &QWidget::windowTitleChanged);
        answerTextWindows();
        w<QCheckBox>(window, "选择框刷新栏目")->setChecked(true);
        w<QLineEdit>(window, "编辑框起始ID1")->setText("1");
        w<QLineEdit>(window, "编辑框终止ID1")->setText("2");
        auto* remove = w<QPushButton>(window, "按钮删除栏目");
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        remove->click();
        QVERIFY(remove->isEnabled());
        QVERIFY(!w<QPushButton>(window, "按钮删除文章")->isEnabled());
        QVERIFY(!w<QPushButton>(window, "按钮批量读取")->isEnabled());
        QVERIFY(done.wait(20000));
        QVERIFY(w<QPushButton>(window, "按钮删除文章")->isEnabled());
        bool refreshShown = false;
        for (const QList<QVariant>& title : titles)
            refreshShown = refreshShown || title.at(0).toString().contains(QStringLiteral(" 已刷新栏目 "));
        QVERIFY(refreshShown);
        QCOMPARE(window->windowTitle(), QStringLiteral("批处理工具"));
        QVERIFY(reports.back().startsWith(QStringLiteral("全部删除完成！|")));

        // Stopped after the first site: the report says so.
        server->setFaults("s1", [] {
            oz::testing::StandinFaults slow;
            slow.delayMs = 300;
            return slow;
        }());
        w<QCheckBox>(window, "选择框刷新栏目")->setChecked(false);
        fakes->dialogs.answers.push_back(oz::ui::Dialogs::Answer::Ok);
        remove->click();
        QTest::qWait(200);
        remove->click();
        QVERIFY(done.wait(20000));
        QVERIFY2(reports.back().startsWith(QStringLiteral("已停止！|")) &&
                     reports.back().contains(QStringLiteral("|已停止：没有做完全部站点")),
                 qPrintable(reports.back()));
    }

    // An empty category list still runs over the sites and reports what it did.
    void emptyCategoryListReportsNothingDone() {
        addStandinSites(1);
        oz::ui::BatchToolsWindow* window = batch();
        QSignalSpy done(window, &oz::ui::BatchToolsWindow::actionFinished);
        answerTextWindows();
        input.clear();
        w<QPushButton>(window, "按钮创建栏目")->click();
        QVERIFY(done.wait(20000));
        QVERIFY2(reports.back().contains(QStringLiteral("成功 0 个；失败 0 个")), qPrintable(reports.back()));
    }
};

QTEST_MAIN(BatchToolsWindowTest)
#include "batch_tools_window_test.moc"
