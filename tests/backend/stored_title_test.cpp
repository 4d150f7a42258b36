// The model of what the back end stores and lists for a sent title, checked against a real
// DedeCMS 5.7.88 (UTF-8 and GBK): the column values read from its database and the article lists it
// answered for the same titles (captured in answers/t1 and t2).
#include "backend/stored_title.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "backend/answer_reader.h"
#include "backend/html_elements.h"
#include "tests/support/temp_folder.h"
#include "text/charset.h"

namespace oz::backend {
namespace {

std::string captured(const std::string& name) {
    return test::readBytes(std::filesystem::path(OZ_SOURCE_DIR) / "tests" / "backend" / "answers" / name);
}

const std::string kLongAmps = std::string(50, 'A') + " R&D R&D R&D";
const std::string kCutInReference = std::string(54, 'A') + " R&D R&D";

struct TitleCase {
    std::string sent;
    std::string storedUtf8;  // the column, as the database holds it
    std::string storedGbk;
};

// Sent in this order to both sites: ids 12.. on the UTF-8 site, 11.. on the GBK site.
const std::vector<TitleCase>& titleCases() {
    static const std::vector<TitleCase> cases = {
        {"它's \"引号\" R&D <b> 测试", "它&#039;s ＂引号＂ R&amp;D &lt;b&gt; 测试",
         "它&#039;s ＂引号＂ R&amp;D &lt;b&gt; 测试"},
        {"这是一个非常非常长的中文标题用来测试后台截断标题的长度限制是否正确",
         "这是一个非常非常长的中文标题用来测试后台截",
         "这是一个非常非常长的中文标题用来测试后台截断标题的长度限制是"},
        {kLongAmps, std::string(50, 'A') + " R&amp;D R", std::string(50, 'A') + " R&amp;D R"},
        {kCutInReference, std::string(54, 'A') + " R&amp", std::string(54, 'A') + " R&amp"},
        {"'引号开头的标题", "&#039;引号开头的标题", "&#039;引号开头的标题"},
        {"反斜杠\\标题 50% off_x", "反斜杠\\标题 50% off_x", "反斜杠\\标题 50% off_x"},
        {"Mixed 中文 and English words together with 符号 & more text here",
         "Mixed 中文 and English words together with 符号 &amp; more te",
         "Mixed 中文 and English words together with 符号 &amp; more text"},
        {"&开头的标题", "&amp;开头的标题", "&amp;开头的标题"},
        {"逗号,括号(测试)标题", "逗号,括号(测试)标题", "逗号,括号(测试)标题"},
        {"script标签 onload 测试", "script标签 onload 测试", "script标签 onload 测试"},
        {"两个  空格  的标题", "两个  空格  的标题", "两个  空格  的标题"},
    };
    return cases;
}

// The same titles on a real DedeBIZ 6.2.10 (UTF-8, its VARCHAR(255) column; its settings cache
// cuts at 60 bytes), ids 18..28, and one more (29) for its own cleaning of "," and "|".
const TitleRules kDedeBiz{.columnChars = 255, .fixedWidthColumn = false, .cleaning = ListCleaning::DedeBiz};
const std::vector<std::string> kDedeBizStored = {
    "它&#039;s ＂引号＂ R&amp;D &lt;b&gt; 测试",
    "这是一个非常非常长的中文标题用来测试后台截",
    std::string(50, 'A') + " R&amp;D R&amp;D R&amp;",
    std::string(54, 'A') + " R&amp;D R&amp;",
    "&#039;引号开头的标题",
    "反斜杠\\标题 50% off_x",
    "Mixed 中文 and English words together with 符号 &amp; more te",
    "&amp;开头的标题",
    "逗号,括号(测试)标题",
    "script标签 onload 测试",
    "两个  空格  的标题"};
const std::string kDedeBizOwnCase = "flink友情链接,逗号|竖线 测试";

TEST(StoredTitleTest, RewritesAndCutsAsTheBackEndStores) {
    for (const TitleCase& c : titleCases()) {
        EXPECT_EQ(storedTitle(c.sent, TitleRules{}), c.storedUtf8) << c.sent;
        EXPECT_EQ(storedTitle(c.sent, TitleRules{.gbk = true}), c.storedGbk) << c.sent;
    }
    for (std::size_t i = 0; i < kDedeBizStored.size(); ++i) {
        EXPECT_EQ(storedTitle(titleCases()[i].sent, kDedeBiz), kDedeBizStored[i]);
    }
    // A longer length setting cuts later; a VARCHAR column keeps trailing spaces.
    EXPECT_EQ(storedTitle("abc def ", TitleRules{.maxBytes = 4}), "abc d");
    EXPECT_EQ(storedTitle("abc ", TitleRules{.columnChars = 255, .fixedWidthColumn = false}), "abc ");
}

struct CapturedList {
    const char* file;
    bool gbk;
    TitleRules rules;
    int firstId;
};

// Every row of the captured list shows one of the forms the model gives for its title, and no
// other row of the page shows any of them.
TEST(StoredTitleTest, ListedFormsMatchTheCapturedListsRowForRow) {
    for (const CapturedList& list :
         {CapturedList{"t1-content_list-titles-utf8.html", false, {}, 12},
          CapturedList{"t2-content_list-titles-gbk.html", true, {.gbk = true}, 11},
          CapturedList{"t4-content_list-titles-dedebiz.html", false, kDedeBiz, 18}}) {
        const std::string page = list.gbk ? text::gbkToUtf8(captured(list.file)) : captured(list.file);
        const auto rows = readArticleList(page);
        ASSERT_TRUE(rows);
        std::map<int, std::string> listed;
        for (const ListedArticle& row : *rows) listed[row.id] = row.title;
        std::vector<std::string> sent;
        for (const TitleCase& c : titleCases()) sent.push_back(c.sent);
        if (list.rules.cleaning == ListCleaning::DedeBiz) sent.push_back(kDedeBizOwnCase);
        ASSERT_EQ(listed.size(), sent.size()) << list.file;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            const auto forms = listedTitleForms(storedTitle(sent[i], list.rules), list.rules);
            const int id = list.firstId + static_cast<int>(i);
            EXPECT_NE(std::find(forms.begin(), forms.end(), listed[id]), forms.end())
                << list.file << ": " << sent[i] << " listed as " << listed[id];
            for (const auto& [other, title] : listed) {
                if (other == id || title.empty()) continue;
                EXPECT_EQ(std::find(forms.begin(), forms.end(), title), forms.end()) << title;
            }
        }
    }
}

// Where the GBK list shows a title blank, its edit page shows the column as it is.
TEST(StoredTitleTest, TheEditPageShowsTheStoredColumn) {
    const std::string page = text::gbkToUtf8(captured("t3-article_edit-gbk.html"));
    EXPECT_EQ(elementAttribute(findElement(page, "input", "name", "title"), "value"),
              storedTitle(titleCases()[0].sent, TitleRules{.gbk = true}));
}

TEST(StoredTitleTest, KeywordIsTheStoredStart) {
    EXPECT_EQ(storedTitleKeyword("&#039;引号开头的标题"), "&#039;引号开头");
    EXPECT_EQ(storedTitleKeyword("反斜杠\\标题"), "反斜杠");
    EXPECT_EQ(storedTitleKeyword("  文章"), "文章");
}

}  // namespace
}  // namespace oz::backend
