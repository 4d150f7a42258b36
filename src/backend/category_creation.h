#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "backend/batch_site_loop.h"

namespace oz::backend {

inline constexpr const char* kCreateCategoriesCaption = "批量创建栏目";

// One line of the category list with the parent it is created under.
struct CategoryInputLine {
    std::string
        line;  // 栏目名称|文件保存目录|列表模板|SEO标题|关键字|栏目属性|栏目描述|文章命名规则|列表命名规则|文章模板
    int parentId = 0;
};

// The ten fields of a line with their defaults applied.
struct CategoryFields {
    std::string name;
    std::string typeDir;
    std::string listTemplate = "list_article.htm";
    std::string seoTitle;  // the name when empty
    std::string keywords;  // the name when empty
    int ispart = 0;        // attribute - 1; 0 outside 0..2
    std::string description;
    std::string articleRule = "{typedir}/{Y}/{M}{D}/{aid}.html";
    std::string listRule = "{typedir}/list_{tid}_{page}.html";
    std::string articleTemplate = "{style}/article_article.htm";
};
CategoryFields parseCategoryLine(std::string_view line);

// Text mode: the non-blank lines of the text, all under `parentId`.
std::vector<CategoryInputLine> categoryLinesFromText(std::string_view text, int parentId);
// File mode: the non-blank lines of each file under the number its name (without folder and
// extension) gives, 0 when it is not a number. False with `problem` when a file cannot be read.
bool categoryLinesFromFiles(const std::vector<std::filesystem::path>& files,
                            std::vector<CategoryInputLine>& lines, std::string& problem);

struct CreateCategoriesOptions {
    std::vector<CategoryInputLine> lines;
    std::string parentDir = "{cmspath}/a";  // 编辑框父目录; empty: the parent's own folder
    int mode = 0;      // 组合框栏目方式: 0 every site gets all lines, 1 the lines are shared out
    int countMin = 5;  // 编辑框栏目数1, 2: lines per site in mode 1
    int countMax = 10;
    bool visible = true;          // 选择框显示栏目
    std::string isDefault = "0";  // 组合框栏目类型's item data
    bool refreshLists = false;    // 选择框刷新栏目
};

// The catalog_add.php body, values percent-encoded in the site's charset.
std::string categoryAddBody(const CategoryFields& fields, int parentId, const std::string& nextDir,
                            const CreateCategoriesOptions& options, bool utf8Site);

// `createCategories`: per site the login, then each of its lines posted to catalog_add.php; a
// line counts as created when the answer holds "成功创建一个分类！" (DedeBIZ: "成功创建一个栏目"). The report
// has one line per site; the failure text lists the lines that failed, per site.
BatchReport createCategories(const std::vector<BatchTarget>& targets, const CreateCategoriesOptions& options,
                             const BatchEnvironment& env);

}  // namespace oz::backend
