#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "config/run_options.h"

namespace oz::backend {

// The check items of the custom-refresh menu ("定制刷新"): the Kivra set and the Belmo set.
enum class CustomRefresh {
    SystemCache,   // "系统缓存"
    XmlMapModule,  // "XML地图【模块】"
    XmlMap,        // "XML地图"
    TxtMap,        // "TXT地图"
    NextArticle,   // "下篇文档"
    StaticTags,    // "静态TAG"
    SinglePages,   // "单页文档"
    FreeLists,     // "自由列表"
    SiteMapHtml,   // "网站地图HTML" (Belmo)
};

// The options that the engine and the back-end client read at the moment of use, so a change made
// during a run takes effect at its next use. The window implements it over its controls, the
// command line over the settings file. Every getter may be called from any thread.
class RunSettings {
   public:
    virtual ~RunSettings() = default;

    // The run bar.
    virtual bool synchronousCycle() const = 0;        // 同步循环 (else 先后独立)
    virtual double cycleIntervalSeconds() const = 0;  // 循环间隔1, read as a real number
    virtual int simultaneousSites() const = 0;        // 同时站点数, read as an integer
    virtual bool useGlobalCount() const = 0;          // 选择框全局更新数量
    virtual int globalCount() const = 0;              // 全局更新数量, read as an integer

    // Check boxes.
    virtual bool shutdownWhenDone() const = 0;        // 选择框完成关机
    virtual bool retryOnFailure() const = 0;          // 选择框失败时重复尝试
    virtual bool publishInReadOrder() const = 0;      // 选择框按读入顺序发布
    virtual bool htmlAllCategories() const = 0;       // 选择框HTML所有栏目
    virtual bool rssAllCategories() const = 0;        // 选择框RSS所有栏目
    virtual bool refreshChildCategories() const = 0;  // 选择框刷新子级栏目
    virtual bool oneClickUpdate() const = 0;          // 选择框一键更新网站

    // 组合框访问方式: the request profile every back-end request uses (0 or 1).
    virtual int accessMethod() const = 0;

    virtual bool customRefresh(CustomRefresh item) const = 0;

    // 确认等待秒数: how long an article whose answer said nothing trustworthy is looked for on its
    // site, in seconds (at least 0).
    virtual double settleSeconds() const = 0;

    // 发布后前台检查: the published articles are checked on the live site after the regeneration.
    virtual bool liveCheck() const { return true; }
    // 默认代理服务器: the proxy of the site records that name none of their own.
    virtual std::string defaultProxy() const = 0;
    // 重复发布已发布文件: files the journal says the back end holds are published again.
    virtual bool republishPublished() const { return false; }
};

// RunSettings over a RunOptions value, for the command line and tests. 选择框HTML所有栏目 is not a
// stored option (it starts unchecked), so it is held beside the options. Thread-safe: readers see
// either the old or the new value of an update.
class OptionsRunSettings final : public RunSettings {
   public:
    explicit OptionsRunSettings(config::RunOptions options = {}, bool htmlAllCategories = false);

    void update(const config::RunOptions& options);
    // Both at once, so a reader never sees the one new and the other old.
    void update(const config::RunOptions& options, bool htmlAllCategories);
    void setHtmlAllCategories(bool on);
    config::RunOptions options() const;

    bool synchronousCycle() const override;
    double cycleIntervalSeconds() const override;
    int simultaneousSites() const override;
    bool useGlobalCount() const override;
    int globalCount() const override;
    bool shutdownWhenDone() const override;
    bool retryOnFailure() const override;
    bool publishInReadOrder() const override;
    bool htmlAllCategories() const override;
    bool rssAllCategories() const override;
    bool refreshChildCategories() const override;
    bool oneClickUpdate() const override;
    bool liveCheck() const override;
    int accessMethod() const override;
    bool customRefresh(CustomRefresh item) const override;
    double settleSeconds() const override;
    std::string defaultProxy() const override;
    bool republishPublished() const override;

   private:
    mutable std::mutex m_mutex;
    config::RunOptions m_options;
    bool m_htmlAllCategories = false;
};

// Whether a RunOptions value has the custom-refresh item checked.
bool customRefreshChecked(const config::RunOptions& options, CustomRefresh item);

// A number typed into an option box, read leniently: leading blanks, an optional sign, digits and
// (for the real number) a fraction; anything else ends it, and no number at all gives 0.
double lenientReal(std::string_view text);

}  // namespace oz::backend
