#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "backend/batch_category_read.h"
#include "config/data_folder.h"
#include "config/settings_file.h"
#include "testing/standin_server.h"
#include "tests/ui/ui_fakes.h"
#include "ui/main_window.h"
#include "ui/site_list_panel.h"

namespace oz::test {

// The real main window over a temporary data folder, every dialog answered by the fakes. The
// panel tests drive it through the controls' names, as an operator would.
struct MainWindowFixture {
    std::unique_ptr<UiTestServices> fakes;
    std::unique_ptr<config::SettingsFile> settings;
    std::unique_ptr<ui::MainWindow> window;
    testing::StandinServer server;
    QTemporaryDir articles;

    std::filesystem::path dataDir() const { return fakes->folder.path().toStdString(); }
    std::filesystem::path settingsPath() const { return dataDir() / config::kSettingsFileName; }

    void setUpWindow() {
        fakes = std::make_unique<UiTestServices>();
        open();
    }
    void tearDownWindow() {
        window.reset();
        settings.reset();
        server.stop();
    }
    void open() {
        window.reset();
        settings = std::make_unique<config::SettingsFile>();
        QVERIFY(settings->open(settingsPath()));
        window = std::make_unique<ui::MainWindow>(*settings, fakes->services());
    }
    template <typename T = QWidget>
    T* w(const char* name) {
        T* widget = window->findChild<T*>(QString::fromUtf8(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    void typeSite(const QString& domain, const QString& user, const QString& password) {
        w<QLineEdit>("编辑框域名")->setText(domain);
        w<QLineEdit>("编辑框用户")->setText(user);
        w<QLineEdit>("编辑框密码")->setText(password);
    }
    void addSites(int count) {
        for (int i = 1; i <= count; ++i) {
            typeSite(QStringLiteral("s%1.com").arg(i), "u", "p");
            w<QPushButton>("按钮添加")->click();
        }
    }
    QListWidget* list() { return w<QListWidget>("列表框"); }
    QStringList checkedRows() {
        QStringList rows;
        for (int i = 0; i < list()->count(); ++i)
            if (list()->item(i)->checkState() == Qt::Checked) rows << QString::number(i + 1);
        return rows;
    }
    // Stand-in sites s1..sN whose answers take `delayMs`, each with 40 articles, added to the list.
    void addStandinSites(int count, int delayMs = 30) {
        for (int n = 1; n <= count; ++n) {
            testing::StandinSite standin;
            standin.prefix = "s" + std::to_string(n);
            standin.faults.delayMs = delayMs;
            server.addSite(standin);
        }
        QVERIFY(server.start());
        for (int n = 1; n <= count; ++n) {
            const std::string prefix = "s" + std::to_string(n);
            const std::filesystem::path folder =
                std::filesystem::path(articles.path().toStdString()) / prefix;
            std::filesystem::create_directories(folder);
            for (int a = 1; a <= 40; ++a)
                std::ofstream(folder / ("a" + std::to_string(a) + ".txt"), std::ios::binary)
                    << "标题\r\n正文。\r\n";
            typeSite(QString::fromStdString(server.siteDomain(prefix)), "admin", "admin");
            w<QLineEdit>("编辑框文章目录")->setText(QString::fromStdString(folder.string()));
            w<QLineEdit>("编辑框更新间隔1")->setText("0.2");
            w<QLineEdit>("编辑框更新间隔2")->setText("0.2");
            w<QPushButton>("按钮添加")->click();
            // Category 1 checked, as an operator does before a run.
            const int row = window->sitePanel().list().size() - 1;
            config::SiteConfig record = window->sitePanel().list().sites[static_cast<std::size_t>(row)];
            record.categoryTree = backend::encodeCategoryTree({{1, "新闻中心", 1, -1, 1, true}});
            record.categoryIds = "1";
            window->sitePanel().storeSiteTree(row, record);
        }
    }
    QString lastMessage() const {
        return fakes->dialogs.messages.isEmpty() ? QString() : fakes->dialogs.messages.back().text;
    }
};

inline std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace oz::test
