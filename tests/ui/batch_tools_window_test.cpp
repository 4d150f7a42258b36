#include "ui/batch_tools_window.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "config/data_folder.h"
#include "config/settings_file.h"
#include "testing/standin_server.h"
#include "tests/ui/ui_fakes.h"
#include "ui/main_window.h"
#include "ui/text_dialog.h"

namespace fs = std::filesystem;

// The batch tools window opened from the real main window over a temporary data folder.
class BatchToolsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<oz::test::UiTestServices> fakes;
    std::unique_ptr<oz::config::SettingsFile> settings;
    std::unique_ptr<oz::ui::MainWindow> main;
    oz::testing::StandinServer server;

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
    // The ids of the catalog_del.php requests each site received, "s1:1,2;s2:;s3:1,2".
    QString deletedIds() {
        QString out;
        for (const char* prefix : {"s1", "s2", "s3"}) {
            QStringList ids;
            for (const auto& r : server.requests(prefix)) {
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
        open();
    }
    void cleanup() {
        oz::ui::setTextDialogTestHook({});
        main.reset();
        settings.reset();
        server.stop();
    }

    void deleteCategoriesOverCheckedThenAllSites() {
        for (const char* prefix : {"s1", "s2", "s3"}) {
            oz::testing::StandinSite site;
            site.prefix = prefix;
            server.addSite(site);
        }
        QVERIFY(server.start());
        for (const char* prefix : {"s1", "s2", "s3"}) {
            w<QLineEdit>(main.get(), "编辑框域名")
                ->setText(QString::fromStdString(server.siteDomain(prefix)));
            w<QLineEdit>(main.get(), "编辑框用户")->setText("admin");
            w<QLineEdit>(main.get(), "编辑框密码")->setText("admin");
            w<QPushButton>(main.get(), "按钮添加")->click();
        }
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
        QCOMPARE(fakes->dialogs.messages.back().text, QStringLiteral("确定要删除 ID 从 1 到 2 的栏目吗？"));
        QVERIFY(!window->isBusy());

        const QList<std::pair<const char*, QString>> rounds = {{"单选框勾选", "s1:1,2;s2:;s3:1,2;"},
                                                               {"单选框全部", "s1:1,2;s2:1,2;s3:1,2;"}};
        for (const auto& [radio, expected] : rounds) {
            server.clearRequests();
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
        server.clearRequests();
        w<QPushButton>(window, "按钮创建栏目")->click();
        QVERIFY(done.wait(20000));
        for (const char* prefix : {"s1", "s2", "s3"}) {
            int added = 0;
            for (const auto& r : server.requests(prefix))
                added += r.path.find("catalog_add.php") != std::string::npos;
            QCOMPARE(added, 2);
        }
        QCOMPARE(w<QPlainTextEdit>(window, "编辑框栏目列表")->toPlainText(), QStringLiteral("新闻\n体育"));
        QCOMPARE(reports.size(), 3);
        QVERIFY2(reports[1].startsWith(QStringLiteral("全部删除完成！|")), qPrintable(reports[1]));
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
};

QTEST_MAIN(BatchToolsWindowTest)
#include "batch_tools_window_test.moc"
