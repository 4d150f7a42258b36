#include "app/exit_status.h"

#include <algorithm>

namespace oz::app {

std::string exitStatusHelp() {
    return "  0  全部完成\n"
           "  1  部分失败：有站点或条目失败、结果未知，被停止，或有文件未能写入\n"
           "  2  用法错误：未知的命令或参数、参数值不对，或没有可用的数据目录\n"
           "  3  全部失败：没有一个站点完成，或无法开始（例如没有设置文件）\n"
           "  4  前台检查未通过：已全部发布，但有文章或主页在前台显示不正常\n";
}

int runExitStatus(const engine::RunTotals& totals) {
    const auto& rows = totals.summary;
    const bool allDone = std::all_of(rows.begin(), rows.end(), [](const auto& row) { return row.done(); });
    if (allDone && totals.unwrittenFiles.empty()) {
        const bool liveFailed =
            std::any_of(rows.begin(), rows.end(), [](const auto& row) { return row.liveCheckFailed(); });
        return liveFailed ? kLiveCheckFailed : kAllDone;
    }
    const bool allFailed =
        std::all_of(rows.begin(), rows.end(), [](const auto& row) { return row.failedEntirely(); });
    return !rows.empty() && allFailed ? kNothingDone : kSomeFailed;
}

int batchExitStatus(const backend::BatchReport& report) {
    if (report.failedSites == 0 && !report.stopped) return kAllDone;
    return report.sites > 0 && report.failedSites == report.sites ? kNothingDone : kSomeFailed;
}

}  // namespace oz::app
