#pragma once

#include <string>

namespace oz::config {

// The global options of a run, kept in the settings section "基本配置". The comment after each field
// is its settings key. A missing key leaves the control as the window starts, so the member
// defaults are both the initial state of the window and the value of a missing key.
struct RunOptions {
    bool synchronousCycle = false;        // 同步循环 (radio 单选框同步循环)
    std::string cycleInterval = "0.01";   // 循环间隔1 (seconds between rounds, text of the box)
    bool independentSites = true;         // 先后独立 (radio 单选框先后独立, selected initially)
    std::string simultaneousSites = "5";  // 同时站点数 (text of the box)
    bool useGlobalCount = false;          // 启用全局更新数量
    std::string globalCount = "0";        // 全局更新数量 (text of the box; 0 = all files)
    bool rssAllCategories = false;        // RSS所有栏目
    bool oneClickUpdate = false;          // 一键更新网站
    bool refreshChildCategories = false;  // 刷新子级栏目
    int accessMethod = 0;                 // 访问方式: 0 访问方式1, 1 访问方式2
    std::string importPath;               // 导入路径
    std::string exportPath;               // 导出路径
    // 确认等待秒数: how long an article whose answer said nothing trustworthy is looked for on its
    // site before it counts as not stored (a back end behind a gateway stores it when PHP is done).
    std::string settleSeconds = "300";
    // 发布后前台检查: after the site's regeneration, each published article's page (and the list and
    // home pages the run made) is fetched as a visitor sees it.
    bool liveCheck = true;
    // 默认代理服务器: the 代理服务器 of every site record without one of its own (see
    // config/proxy_setting.h); empty: direct.
    std::string defaultProxy;
    // 重复发布已发布文件: a file the journal says a back end holds is sent to it again (off: skipped).
    bool republishPublished = false;

    // Check boxes stored under their control names.
    bool shutdownWhenDone = false;    // 选择框完成关机
    bool retryOnFailure = false;      // 选择框失败时重复尝试
    bool publishInReadOrder = false;  // 选择框按读入顺序发布

    // Check marks of the custom-refresh menu, stored under their captions.
    bool refreshXmlMap = false;        // XML地图
    bool refreshXmlMapModule = false;  // XML地图【模块】
    bool refreshTxtMap = false;        // TXT地图
    bool refreshStaticTags = false;    // 静态TAG
    bool refreshSinglePages = false;   // 单页文档
    bool refreshFreeLists = false;     // 自由列表
    bool refreshNextArticle = false;   // 下篇文档
    bool refreshSystemCache = false;   // 系统缓存
    bool refreshSiteMapHtml = false;   // 网站地图HTML

    // The scheduler's options in the same section.
    bool autoStartSchedule = false;       // 自动开启计划任务 (start the schedule with the program)
    bool scheduleCompleteListing = true;  // 计划任务_鼠标左键 (true: complete listing, false: fast;
                                          // the schedule window starts on the complete listing)

    bool operator==(const RunOptions&) const = default;
};

}  // namespace oz::config
