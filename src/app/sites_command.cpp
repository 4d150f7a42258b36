#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "app/headless_batch.h"
#include "app/stored_site.h"
#include "backend/bulk_import.h"
#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "config/proxy_setting.h"
#include "config/settings_file.h"
#include "config/site_import.h"
#include "config/site_line.h"
#include "config/site_list_store.h"
#include "text/charset.h"
#include "text/markers.h"

namespace oz::app {

namespace {

std::filesystem::path settingsPath(const CommandContext& context) {
    return context.dataDir / config::kSettingsFileName;
}

int listSites(const CommandContext& context) {
    config::SettingsFile file;
    if (!file.open(settingsPath(context), config::SettingsFile::Mode::ReadOnly)) {
        context.err << file.lastError() << "\n";
        return 1;
    }
    if (!file.notice().empty()) context.err << file.notice() << "\n";
    config::SiteList list;
    config::loadSiteList(file, list);
    if (list.size() == 0) {
        context.out << "设置文件中没有站点（用 sites import FILE 或在窗口中添加）\n";
        return 0;
    }
    for (int i = 0; i < list.size(); ++i) {
        const config::SiteConfig& site = list.sites[static_cast<std::size_t>(i)];
        context.out << (i + 1) << " " << (site.enabled ? "[x]" : "[ ]") << " " << config::siteLabel(site);
        if (site.proxy) {
            context.out << " 代理："
                        << (site.proxy->empty() ? "直接连接" : config::maskedProxySetting(*site.proxy));
        }
        context.out << "\n";
    }
    return 0;
}

// sites set N KEY VALUE, sites enable N, sites disable N: one record changed with the checks of the
// window's 修改 button, then the list saved.
int changeSite(const CommandContext& context, const std::string& numberText,
               const std::function<std::string(config::SiteList&, int)>& change) {
    const std::optional<int> number = siteNumber(numberText);
    if (!number) {
        context.err << "站点序号无效：" << numberText << "\n";
        return kUsageError;
    }
    config::SettingsFile file;
    if (!file.open(settingsPath(context))) {
        context.err << file.lastError() << "\n";
        return 1;
    }
    if (!file.notice().empty()) context.err << file.notice() << "\n";
    config::SiteList list;
    const int current = config::loadSiteList(file, list);
    list.current = current >= 0 && current < list.size() ? current : -1;
    if (*number > list.size()) {
        context.err << "站点 " << *number << " 不存在（设置文件中共有 " << list.size() << " 个站点）\n";
        return 1;
    }
    if (const std::string problem = change(list, *number - 1); !problem.empty()) {
        context.err << problem << "\n";
        return 1;
    }
    if (!config::saveSiteList(file, list)) {
        context.err << "保存设置文件失败：" << file.lastError() << "\n";
        return 1;
    }
    const config::SiteConfig& site = list.sites[static_cast<std::size_t>(*number - 1)];
    context.out << *number << " " << (site.enabled ? "[x]" : "[ ]") << " " << config::siteLabel(site)
                << " 已保存\n";
    return 0;
}

std::string setField(config::SiteList& list, int index, const std::string& key, const std::string& value) {
    config::SiteConfig site = list.sites[static_cast<std::size_t>(index)];
    if (key == config::kEnabledKey) return "启用请用 sites enable N 或 sites disable N";
    if (std::string why = config::setSiteField(site, key, value); !why.empty()) return why;
    std::string problem;
    config::modifySite(list, index, std::move(site), &problem);
    return problem;
}

std::string setEnabled(config::SiteList& list, int index, bool enabled) {
    config::SiteConfig& site = list.sites[static_cast<std::size_t>(index)];
    // A record the window would refuse to store is not made to take part either.
    if (enabled) {
        if (std::string why = config::siteProblem(site); !why.empty()) return "无法启用：" + why;
    }
    site.enabled = enabled;
    return {};
}

int importSites(const CommandContext& context, const std::string& listPath,
                const backend::BulkImportOptions& importOptions) {
    std::string error;
    bool missing = false;
    auto bytes = config::readWholeFile(listPath, error, &missing);
    if (!bytes) {
        context.err << (missing ? "找不到站点列表文件：" + listPath : error) << "\n";
        return 1;
    }
    const std::optional<std::string> lines = text::operatorFileText(*bytes);
    if (!lines) {
        context.err << "站点列表文件不是可读的文本（请存为 UTF-8、GBK 或 Unicode）：" << listPath << "\n";
        return 1;
    }
    config::SettingsFile file;
    if (!file.open(settingsPath(context))) {
        context.err << file.lastError() << "\n";
        return 1;
    }
    if (!file.notice().empty()) context.err << file.notice() << "\n";
    config::RunOptions options = config::loadRunOptions(file);
    config::SiteList list;
    int current = config::loadSiteList(file, list);
    list.current = current >= 0 && current < list.size() ? current : -1;

    HeadlessBatch batch(options, context.dataDir);
    config::BulkImportResult result;
    {
        const auto watcher = batch.watchInterrupts();
        result = backend::bulkImport(list, *lines, config::initialSiteConfig(), importOptions, batch.env());
    }

    if (!config::globalSave(file, options, list)) {
        context.err << "保存设置文件失败：" << file.lastError() << "\n";
        return 1;
    }
    config::deleteStaleSiteSections(file, list.size());
    context.out << config::bulkImportSummary(result, list) << "\n";
    if (!result.failedLines.empty()) {
        context.out << "这是导入失败的站点信息：\n" << config::bulkImportFailures(result, "\n");
    }
    return 0;
}

}  // namespace

int sitesCommand(const CommandContext& context) {
    const auto& args = context.args;
    if (args.empty()) return listSites(context);
    if (args[0] == "set" && args.size() == 4) {
        return changeSite(context, args[1], [&](config::SiteList& list, int index) {
            return setField(list, index, args[2], args[3]);
        });
    }
    if ((args[0] == "enable" || args[0] == "disable") && args.size() == 2) {
        const bool enabled = args[0] == "enable";
        return changeSite(context, args[1], [&](config::SiteList& list, int index) {
            return setEnabled(list, index, enabled);
        });
    }
    if (args[0] == "import" && args.size() >= 2) {
        backend::BulkImportOptions options;
        std::optional<std::string> file;
        std::optional<double> delay;
        bool ok = true;
        for (std::size_t i = 1; i < args.size() && ok; ++i) {
            if (args[i] == "--read-categories") {
                options.readCategories = true;
            } else if (args[i] == "--check-all") {
                options.checkAll = true;
            } else if (args[i] == "--delay" && i + 1 < args.size()) {
                const std::string& text = args[++i];
                char* end = nullptr;
                double value = std::strtod(text.c_str(), &end);
                ok = !text.empty() && end != nullptr && *end == '\0' && value >= 0 && value <= 86400;
                delay = value;
            } else if (!args[i].starts_with("--") && !file) {
                file = args[i];
            } else {
                ok = false;
            }
        }
        if (ok && file && (!options.checkAll || options.readCategories)) {
            options.delaySeconds = delay.value_or(options.readCategories ? 2.0 : 0.0);
            return importSites(context, *file, options);
        }
    }
    context.err << sitesUsage();
    return kUsageError;
}

std::string sitesUsage() {
    const std::string help = text::replaceAll(config::kSiteLineHelp, "\r\n", "\n");
    return "用法：orvane-zentrel [--data-dir DIR] sites\n"
           "      orvane-zentrel [--data-dir DIR] sites import FILE [--read-categories [--check-all]]\n"
           "                                                        [--delay S]\n"
           "      orvane-zentrel [--data-dir DIR] sites set N 设置项 值\n"
           "      orvane-zentrel [--data-dir DIR] sites enable N | sites disable N\n"
           "\n"
           "sites 列出设置文件中的站点：序号、[x] 启用或 [ ] 不启用、域名(用户)，有代理服务器时附上它"
           "（密码显示为 ******）。\n"
           "sites set 把第 N 个站点的一个设置项改为 值，检查与窗口的“修改”相同；复选框的值为 真 或 假。\n"
           "  代理服务器：留空为直接连接；http://[用户:密码@]主机:端口、https://…（到代理用 TLS）、\n"
           "  socks5://[用户:密码@]主机:端口（由代理解析域名）；IE 为环境变量中的代理。\n"
           "  没有这一项的站点用“基本配置”的“默认代理服务器”。\n"
           "  可设置的项：" +
           config::settableSiteKeys() +
           "\n"
           "sites enable / disable 勾选或取消勾选第 N 个站点（启用前检查与窗口相同）。\n"
           "sites import 把 FILE 中的站点加入站点列表并保存设置文件（FILE 为 UTF-8 或 GBK 文本）。\n"
           "  --read-categories  登录每个导入的站点并读取其栏目列表（--check-all 勾选全部栏目）\n"
           "  --delay S          每导入一个站点后等待 S 秒（有 --read-categories 时默认 2，否则 0）\n"
           "\n" +
           help + text::replaceAll(config::kSiteLineQuoting, "\r\n", "\n") +
           "\n（命令行导入时，留空的参数取新站点的默认值。）\n";
}

}  // namespace oz::app
