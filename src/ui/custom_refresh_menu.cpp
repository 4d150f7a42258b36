#include "ui/custom_refresh_menu.h"

#include <QAction>
#include <QMenu>

namespace oz::ui {

namespace {

struct MenuCheck {
    const char* caption;
    bool config::RunOptions::*member;
    bool belmo;
};

constexpr MenuCheck kChecks[] = {
    {"系统缓存", &config::RunOptions::refreshSystemCache, false},
    {"XML地图【模块】", &config::RunOptions::refreshXmlMapModule, false},
    {"XML地图", &config::RunOptions::refreshXmlMap, false},
    {"TXT地图", &config::RunOptions::refreshTxtMap, false},
    {"下篇文档", &config::RunOptions::refreshNextArticle, false},
    {"静态TAG", &config::RunOptions::refreshStaticTags, false},
    {"单页文档", &config::RunOptions::refreshSinglePages, false},
    {"自由列表", &config::RunOptions::refreshFreeLists, false},
    {"网站地图HTML", &config::RunOptions::refreshSiteMapHtml, true},
};

QAction* actionOf(const QMenu* menu, const char* caption) {
    for (QAction* a : menu->findChildren<QAction*>())
        if (a->isCheckable() && a->text() == QString::fromUtf8(caption)) return a;
    return nullptr;
}

}  // namespace

QMenu* createCustomRefreshMenu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("定制刷新"), parent);
    QMenu* kivra = menu->addMenu(QStringLiteral("Kivra(2011)"));
    QMenu* belmo = menu->addMenu(QStringLiteral("Belmo(3027)"));
    for (const MenuCheck& check : kChecks) {
        QAction* action = (check.belmo ? belmo : kivra)->addAction(QString::fromUtf8(check.caption));
        action->setCheckable(true);
        action->setParent(menu);
    }
    return menu;
}

void showMenuChecks(QMenu* menu, const config::RunOptions& options) {
    for (const MenuCheck& check : kChecks)
        if (QAction* a = actionOf(menu, check.caption)) a->setChecked(options.*check.member);
}

void readMenuChecks(const QMenu* menu, config::RunOptions& options) {
    for (const MenuCheck& check : kChecks)
        if (QAction* a = actionOf(menu, check.caption)) options.*check.member = a->isChecked();
}

}  // namespace oz::ui
