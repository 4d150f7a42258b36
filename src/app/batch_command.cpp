#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/headless_batch.h"
#include "app/stored_site.h"
#include "backend/article_deletion.h"
#include "backend/batch_category_read.h"
#include "backend/category_creation.h"
#include "backend/category_deletion.h"
#include "backend/homepage_rewrite.h"
#include "config/site_list_store.h"
#include "text/markers.h"

namespace oz::app {

namespace {

constexpr const char* kBatchUsage =
    "用法：orvane-zentrel batch OPERATION [--scope checked|all|N] [--refresh] [选项]\n"
    "\n"
    "  create-categories FILE... [--parent ID] [--parent-dir DIR] [--mode same|different]\n"
    "                    [--count A-B] [--hidden] [--per-file-parent]\n"
    "      创建栏目：FILE 一行一个栏目（栏目名称|文件保存目录|列表模板|SEO标题|关键字|栏目属性|栏目描述|\n"
    "      文章命名规则|列表命名规则|文章模板）。--parent-dir \"\" 取父栏目自己的目录；\n"
    "      --per-file-parent：文件名的数字为父栏目 ID。默认：父栏 0，{cmspath}/a，same，5-10，显示\n"
    "  delete-categories --from A --to B [--delete-files]   删除栏目 ID A 到 B（含两端）\n"
    "  delete-articles --from A --to B                      删除文章 ID A 到 B，每批 100 篇\n"
    "  rewrite-homepage [--template T] [--position P]       重新生成主页（未给出的取后台表单的值）\n"
    "  read-categories [--check-all] [--skip-read]          读取栏目列表并写入站点配置\n"
    "\n"
    "  --scope   checked 勾选网站（默认），all 全部网站，N 第 N 个站点\n"
    "  --refresh 每个站点之后刷新所有栏目列表和主页（创建、删除栏目和删除文章）\n"
    "Ctrl+C 在两个请求之间停止，并仍然打印已完成部分的报告。\n"
    "\n"
    "退出状态：\n";

struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
};

bool parse(const std::vector<std::string>& args, const std::vector<std::string>& valueNames,
           const std::vector<std::string>& flagNames, Arguments& parsed, std::ostream& err) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (std::find(flagNames.begin(), flagNames.end(), arg) != flagNames.end()) {
            parsed.flags[arg] = true;
        } else if (std::find(valueNames.begin(), valueNames.end(), arg) != valueNames.end()) {
            if (i + 1 >= args.size()) {
                err << arg << " 需要一个值\n\n" << batchUsage();
                return false;
            }
            parsed.values[arg] = args[++i];
        } else if (arg.starts_with("--")) {
            err << "未知参数：" << arg << "\n\n" << batchUsage();
            return false;
        } else {
            parsed.positional.push_back(arg);
        }
    }
    return true;
}

std::optional<int> integer(const std::string& text) {
    bool negative = text.starts_with("-");
    std::optional<int> value = siteNumber(negative ? text.substr(1) : text);
    if (!value && (text == "0" || text == "-0")) return 0;
    if (!value) return std::nullopt;
    return negative ? -*value : *value;
}

std::string lf(const std::string& text) { return text::replaceAll(text, "\r\n", "\n"); }

void printReport(const backend::BatchReport& report, std::ostream& out) {
    out << report.title << "\n" << lf(report.report);
    if (!report.report.ends_with("\r\n")) out << "\n";
    if (!report.failures.empty()) out << report.failureTitle << "\n" << lf(report.failures);
    if (report.stopped) out << "（已停止）\n";
}

}  // namespace

std::string batchUsage() {
    return kBatchUsage + exitStatusHelp() +
           "（一个站点失败，是指它登录失败，或它的某个请求失败或结果未知。）\n";
}

int batchCommand(const CommandContext& context) {
    const std::vector<std::string>& all = context.args;
    if (all.empty() || all[0] == "--help" || all[0] == "-h") {
        (all.empty() ? context.err : context.out) << batchUsage();
        return all.empty() ? kUsageError : kAllDone;
    }
    const std::string operation = all[0];
    Arguments args;
    std::vector<std::string> values{"--scope"};
    std::vector<std::string> flags{"--refresh", "--help", "-h"};
    if (operation == "create-categories") {
        values.insert(values.end(), {"--parent", "--parent-dir", "--mode", "--count"});
        flags.insert(flags.end(), {"--hidden", "--per-file-parent"});
    } else if (operation == "delete-categories" || operation == "delete-articles") {
        values.insert(values.end(), {"--from", "--to"});
        flags.push_back("--delete-files");
    } else if (operation == "rewrite-homepage") {
        values.insert(values.end(), {"--template", "--position"});
    } else if (operation == "read-categories") {
        flags.insert(flags.end(), {"--check-all", "--skip-read"});
    } else {
        context.err << "未知的批处理操作：" << operation << "\n\n" << batchUsage();
        return kUsageError;
    }
    if (!parse(std::vector<std::string>(all.begin() + 1, all.end()), values, flags, args, context.err))
        return kUsageError;
    if (args.flags["--help"] || args.flags["-h"]) {
        context.out << batchUsage();
        return kAllDone;
    }
    auto bad = [&](const std::string& message) {
        context.err << message << "\n\n" << batchUsage();
        return kUsageError;
    };
    if (operation != "create-categories" && !args.positional.empty())
        return bad("多余的参数：" + args.positional[0]);
    if (operation == "delete-articles" && args.flags["--delete-files"])
        return bad("未知参数：--delete-files");

    // Scope.
    backend::BatchScope scope = backend::BatchScope::Checked;
    std::optional<int> scopeSite;
    if (auto found = args.values.find("--scope"); found != args.values.end()) {
        if (found->second == "all") {
            scope = backend::BatchScope::All;
        } else if (found->second == "checked") {
            scope = backend::BatchScope::Checked;
        } else if ((scopeSite = siteNumber(found->second))) {
            scope = backend::BatchScope::Current;
        } else {
            return bad("--scope 只能是 checked、all 或站点序号：" + found->second);
        }
    }

    // Operation options, checked before anything is opened.
    backend::CreateCategoriesOptions create;
    backend::DeleteCategoriesOptions deleteCats;
    backend::DeleteArticlesOptions deleteArts;
    backend::RewriteHomePagesOptions rewrite;
    backend::BatchReadOptions read;
    bool refresh = args.flags["--refresh"];
    if (operation == "create-categories") {
        if (args.positional.empty()) return bad("缺少栏目列表文件");
        int parent = 0;
        if (auto v = args.values.find("--parent"); v != args.values.end()) {
            std::optional<int> id = integer(v->second);
            if (!id || *id < 0) return bad("--parent 需要一个不小于 0 的整数：" + v->second);
            parent = *id;
        }
        if (auto v = args.values.find("--parent-dir"); v != args.values.end()) create.parentDir = v->second;
        if (auto v = args.values.find("--mode"); v != args.values.end()) {
            if (v->second != "same" && v->second != "different")
                return bad("--mode 只能是 same 或 different");
            create.mode = v->second == "different" ? 1 : 0;
        }
        if (auto v = args.values.find("--count"); v != args.values.end()) {
            std::size_t dash = v->second.find('-');
            std::optional<int> a =
                dash == std::string::npos ? integer(v->second) : integer(v->second.substr(0, dash));
            std::optional<int> b = dash == std::string::npos ? a : integer(v->second.substr(dash + 1));
            if (!a || !b || *a < 0 || *b < 0) return bad("--count 的格式是 A-B：" + v->second);
            create.countMin = *a;
            create.countMax = *b;
        }
        create.visible = !args.flags["--hidden"];
        create.refreshLists = refresh;
        std::vector<std::filesystem::path> files(args.positional.begin(), args.positional.end());
        std::string problem;
        if (args.flags["--per-file-parent"]) {
            if (!backend::categoryLinesFromFiles(files, create.lines, problem)) {
                context.err << problem << "\n";
                return kUsageError;
            }
        } else {
            std::vector<backend::CategoryInputLine> lines;
            if (!backend::categoryLinesFromFiles(files, lines, problem)) {
                context.err << problem << "\n";
                return kUsageError;
            }
            for (auto& line : lines) create.lines.push_back({line.line, parent});
        }
    } else if (operation == "delete-categories" || operation == "delete-articles") {
        std::optional<int> from = integer(args.values["--from"]);
        std::optional<int> to = integer(args.values["--to"]);
        if (!from.has_value() || !to.has_value()) return bad("需要整数参数 --from A --to B");
        const int a = from.value_or(0);
        const int b = to.value_or(0);
        deleteCats = {a, b, args.flags["--delete-files"], refresh};
        deleteArts = {a, b, refresh};
    } else if (operation == "rewrite-homepage") {
        if (args.values.count("--template")) rewrite.templet = args.values["--template"];
        if (args.values.count("--position")) rewrite.position = args.values["--position"];
    } else {
        read = {args.flags["--skip-read"], args.flags["--check-all"]};
    }

    std::unique_ptr<config::SettingsFile> file = openSettings(context.dataDir, context.err);
    if (!file) return kNothingDone;
    config::SiteList list;
    config::loadSiteList(*file, list);
    if (scopeSite) {
        if (*scopeSite > list.size()) {
            context.err << "站点 " << *scopeSite << " 不存在（设置文件中共有 " << list.size()
                        << " 个站点）\n";
            return kUsageError;
        }
        list.current = *scopeSite - 1;
    }
    HeadlessBatch batch(config::loadRunOptions(*file), context.dataDir);
    const backend::BatchEnvironment& env = batch.env();
    std::vector<backend::BatchTarget> targets = backend::batchTargets(list, scope);

    backend::BatchReport report;
    {
        const auto watcher = batch.watchInterrupts();
        if (operation == "create-categories") {
            report = backend::createCategories(targets, create, env);
        } else if (operation == "delete-categories") {
            report = backend::deleteCategories(targets, deleteCats, env);
        } else if (operation == "delete-articles") {
            report = backend::deleteArticles(targets, deleteArts, env);
        } else if (operation == "rewrite-homepage") {
            report = backend::rewriteHomePages(targets, rewrite, env);
        } else {
            // Each site's tree is written as it comes: the sites before a failed write are kept.
            int unsaved = 0;
            report = backend::readCategoryLists(targets, read, env,
                                                [&](int index, const config::SiteConfig& record) {
                                                    file->setSection(config::siteSectionName(index));
                                                    if (!file->writeBytes("栏目数据", record.categoryTree) ||
                                                        !file->writeText("栏目ID", record.categoryIds)) {
                                                        ++unsaved;
                                                    }
                                                });
            if (unsaved > 0) {
                context.err << "保存设置文件失败：" << file->lastError() << "\n";
                report.failedSites = std::min(report.sites, report.failedSites + unsaved);
            }
        }
    }
    printReport(report, context.out);
    return batchExitStatus(report);
}

}  // namespace oz::app
