#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "config/site_config.h"

namespace oz::config {

// The labels (域名(用户)) of a list's entries: an import of many sites checks each for a duplicate
// in constant time instead of a pass over the list. It knows only the sites added through it.
class SiteLabels {
   public:
    explicit SiteLabels(const SiteList& list);
    bool contains(const SiteConfig& site) const;
    void add(const SiteConfig& site);

   private:
    std::unordered_set<std::string> m_labels;
};

// Adds a record to the list as the silent "添加" does: refuses it (-1) when 域名, 用户 or 密码 is
// empty or another entry has the same 域名(用户); otherwise appends it checked, makes it the current
// entry and returns its index. `problem` (optional) receives the reason of a refusal. With `labels`
// (made of this list and kept by every add since) the duplicate check asks them.
int addSite(SiteList& list, SiteConfig site, std::string* problem = nullptr, SiteLabels* labels = nullptr);

// Replaces the record at `index` as the silent "修改" does: the check mark is kept; refused (-1)
// when invalid or when another entry has the same 域名(用户).
int modifySite(SiteList& list, int index, SiteConfig site, std::string* problem = nullptr);

struct BulkImportResult {
    int imported = 0;                         // lines that became sites
    std::vector<std::string> failedLines;     // lines refused, as they stood
    std::vector<std::string> failureReasons;  // why, for each of failedLines ("用户不能为空！")
    int blankLines = 0;                       // empty lines, passed over
    bool stopped = false;                     // a stop request ended the import early
};

// One line of a bulk import: a blank line is counted, any other cut into its fields and added
// with `window` supplying the fields the line leaves empty (`labels` made of `list` before the
// first line), or kept in `result` with the reason it was refused. The new site's index, else -1.
int importSiteLine(SiteList& list, SiteLabels& labels, std::string_view line, const SiteConfig& window,
                   BulkImportResult& result);

// The bulk import of site-list text lines (see site_line.h): each non-blank line is cut into its
// fields and added with `window` supplying the fields the line leaves empty; refused lines are
// collected. `stop`, when given, is checked before every line.
BulkImportResult bulkImportSites(SiteList& list, std::string_view text, const SiteConfig& window,
                                 const std::atomic<bool>* stop = nullptr);

// "导入完成：导入了 N 个站点，现在总共有 M 个站点", and "（跳过了 K 个空行）" when there were any.
std::string bulkImportSummary(const BulkImportResult& result, const SiteList& list);

// The refused lines as the operator sees them, each ended by `lineEnd`: the line with its password
// masked (maskedSiteLine), then its reason in brackets.
std::string bulkImportFailures(const BulkImportResult& result, std::string_view lineEnd);

}  // namespace oz::config
