#include "config/site_import.h"

#include "config/site_line.h"
#include "text/markers.h"

namespace oz::config {

namespace {

int refuse(std::string* problem, std::string message) {
    if (problem) *problem = std::move(message);
    return -1;
}

std::string duplicateMessage(const SiteConfig& site) {
    return "网站列表中已存在相同的‘域名(用户名)’：" + siteLabel(site);
}

}  // namespace

SiteLabels::SiteLabels(const SiteList& list) {
    m_labels.reserve(list.sites.size());
    for (const SiteConfig& site : list.sites) add(site);
}

bool SiteLabels::contains(const SiteConfig& site) const { return m_labels.contains(siteLabel(site)); }

void SiteLabels::add(const SiteConfig& site) { m_labels.insert(siteLabel(site)); }

int addSite(SiteList& list, SiteConfig site, std::string* problem, SiteLabels* labels) {
    normalizeSite(site);
    if (std::string why = siteProblem(site); !why.empty()) return refuse(problem, why);
    if (labels != nullptr ? labels->contains(site) : list.findDuplicate(site).has_value()) {
        return refuse(problem, duplicateMessage(site));
    }
    if (labels != nullptr) labels->add(site);
    site.enabled = true;
    list.sites.push_back(std::move(site));
    list.current = list.size() - 1;
    return list.current;
}

int modifySite(SiteList& list, int index, SiteConfig site, std::string* problem) {
    if (index < 0 || index >= list.size()) return refuse(problem, "请先选定一个站点配置再修改！");
    normalizeSite(site);
    if (std::string why = siteProblem(site); !why.empty()) return refuse(problem, why);
    if (list.findDuplicate(site, index)) return refuse(problem, duplicateMessage(site));
    SiteConfig& entry = list.sites[static_cast<std::size_t>(index)];
    site.enabled = entry.enabled;
    entry = std::move(site);
    return index;
}

BulkImportResult bulkImportSites(SiteList& list, std::string_view text, const SiteConfig& window,
                                 const std::atomic<bool>* stop) {
    BulkImportResult result;
    SiteLabels labels(list);
    const std::vector<std::string_view> lines = text::splitLines(text);
    reserveSites(list, lines.size());
    for (std::string_view line : lines) {
        if (stop && stop->load()) {
            result.stopped = true;
            break;
        }
        importSiteLine(list, labels, line, window, result);
    }
    return result;
}

int importSiteLine(SiteList& list, SiteLabels& labels, std::string_view line, const SiteConfig& window,
                   BulkImportResult& result) {
    if (line.empty()) {
        ++result.blankLines;
        return -1;
    }
    std::string problem;
    SiteConfig site = siteFromLine(splitSiteLine(line), window, &problem);
    const int index = problem.empty() ? addSite(list, std::move(site), &problem, &labels) : -1;
    if (index < 0) {
        result.failedLines.emplace_back(line);
        result.failureReasons.push_back(std::move(problem));
    } else {
        ++result.imported;
    }
    return index;
}

std::string bulkImportSummary(const BulkImportResult& result, const SiteList& list) {
    std::string summary = "导入完成：导入了 " + std::to_string(result.imported) + " 个站点，现在总共有 " +
                          std::to_string(list.size()) + " 个站点";
    if (result.blankLines > 0) summary += "（跳过了 " + std::to_string(result.blankLines) + " 个空行）";
    return summary;
}

std::string bulkImportFailures(const BulkImportResult& result, std::string_view lineEnd) {
    std::string text;
    for (std::size_t i = 0; i < result.failedLines.size(); ++i) {
        text += maskedSiteLine(result.failedLines[i]);
        if (i < result.failureReasons.size()) text += "（" + result.failureReasons[i] + "）";
        text += lineEnd;
    }
    return text;
}

}  // namespace oz::config
