#include "content/article_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "content/text_lines.h"
#include "tests/support/temp_folder.h"

namespace oz::content {
namespace {

using oz::test::TempFolder;

// The file names of listed paths, after checking that each path is folder + "/" + name.
std::vector<std::string> namesOf(const std::vector<std::string>& paths, const std::string& folder) {
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        EXPECT_EQ(path.rfind(folder + "/", 0), 0u) << path;
        names.push_back(path.substr(folder.size() + 1));
    }
    return names;
}

class ListingFixture {
   public:
    ListingFixture() {
        for (const char* name : {"a.txt", "B.Txt", "c.htm", "d.html", "e.txt.bak", "f.t1t", "g"})
            m_dir.write(name);
        m_dir.write("sub/h.txt");
        m_dir.write("sub.txt/i.txt");  // a folder whose name passes the filter
    }
    const TempFolder& dir() const { return m_dir; }

   private:
    TempFolder m_dir;
};

struct FilterCase {
    ListingMethod method;
    const char* filter;
    std::vector<std::string> names;
};

class ListingFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ListingFilterTest, ListsTheFilesThatPass) {
    ListingFixture fixture;
    const FilterCase& c = GetParam();
    EXPECT_EQ(namesOf(listArticleFiles(fixture.dir().str(), c.filter, c.method), fixture.dir().str()),
              c.names);
}

constexpr auto kComplete = ListingMethod::Complete;
constexpr auto kFast = ListingMethod::Fast;
const std::vector<std::string> kAllFiles{"a.txt", "B.Txt", "c.htm", "d.html", "e.txt.bak", "f.t1t", "g"};

INSTANTIATE_TEST_SUITE_P(
    Filters, ListingFilterTest,
    ::testing::Values(
        // Complete listing: an extension filter compares the name's end, ignoring case.
        FilterCase{kComplete, "*.TXT", {"a.txt", "B.Txt"}},
        // "*.htm" is not taken as an extension filter: the unanchored pattern also takes .html.
        FilterCase{kComplete, "*.htm", {"c.htm", "d.html"}},
        // Wildcards inside an extension filter are compared literally.
        FilterCase{kComplete, "*.t?t", {}}, FilterCase{kComplete, "", kAllFiles},
        FilterCase{kComplete, "*", kAllFiles}, FilterCase{kComplete, "*.*", kAllFiles},
        // A list: each file once, in folder order; the pattern matches anywhere in the name.
        FilterCase{kComplete, "*.htm|*.txt", {"a.txt", "B.Txt", "c.htm", "d.html", "e.txt.bak"}},
        FilterCase{kComplete, "A*", {"a.txt", "e.txt.bak"}},
        // Fast listing: piece by piece, whole names, a file matching two pieces listed twice.
        FilterCase{kFast, "*.htm|*.txt", {"c.htm", "a.txt", "B.Txt"}},
        FilterCase{kFast, "*.txt|*.TXT", {"a.txt", "B.Txt", "a.txt", "B.Txt"}},
        FilterCase{kFast, "*.t?t", {"a.txt", "B.Txt", "f.t1t"}}, FilterCase{kFast, "", kAllFiles},
        FilterCase{kFast, "*", kAllFiles},
        // A trailing ".*" also takes a name without a dot; an empty piece lists nothing.
        FilterCase{kFast, "g.*", {"g"}}, FilterCase{kFast, "*.txt|", {"a.txt", "B.Txt"}},
        FilterCase{kFast, "?.HTM", {"c.htm"}}));

TEST(ListingTest, FolderWithBackslashesListsTheSameFiles) {
    ListingFixture fixture;
    std::string windowsStyle = fixture.dir().str();
    std::replace(windowsStyle.begin(), windowsStyle.end(), '/', '\\');
    for (ListingMethod method : {kComplete, kFast}) {
        std::vector<std::string> expected = listArticleFiles(fixture.dir().str(), "*.txt", method);
        ASSERT_EQ(expected.size(), 2u);
        EXPECT_EQ(listArticleFiles(windowsStyle, "*.txt", method), expected);
        EXPECT_EQ(listArticleFiles(windowsStyle + "\\", "*.txt", method), expected);
        EXPECT_EQ(listArticleFiles(fixture.dir().str() + "/", "*.txt", method), expected);
    }
}

TEST(ListingTest, MissingOrUnnamedFolderGivesAnEmptyList) {
    TempFolder dir;
    for (ListingMethod method : {kComplete, kFast}) {
        EXPECT_TRUE(listArticleFiles(dir.str() + "/missing", "*.txt", method).empty());
        EXPECT_TRUE(listArticleFiles("", "", method).empty());
        EXPECT_TRUE(listArticleFiles(dir.str(), "", method).empty());
    }
}

TEST(ListingTest, NamesInAnotherEncodingAreListedWithTheirBytes) {
    TempFolder dir;
    const std::string gbkName = "\xCE\xD2\xCA\xC7.txt";  // "我是.txt" in GBK: invalid UTF-8
    std::string path = dir.write(gbkName, "text");
    EXPECT_EQ(listArticleFiles(dir.str(), "*.htm|*.txt", kComplete), std::vector<std::string>{path});
    EXPECT_EQ(listArticleFiles(dir.str(), "*.txt", kFast), std::vector<std::string>{path});
    EXPECT_EQ(displayText(titleFromFileName(path)), "我是");
}

TEST(ListingTest, PipesAreNeverListed) {
    TempFolder dir;
    dir.write("a.txt");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.txt").c_str(), 0600), 0);
    EXPECT_EQ(namesOf(listArticleFiles(dir.str(), "*.txt", kComplete), dir.str()),
              std::vector<std::string>{"a.txt"});
}

// Regression: a link in the article folder published whatever it pointed at, the settings file
// with every site's password included.
TEST(ListingTest, FilesWhoseRealPathLeavesTheFolderAreRefusedAndNamed) {
    TempFolder root;
    const auto data = root.write("data/Orvane·Zentrel.ini", "密码=secret").parent_path();
    root.write("other/x.txt");
    const std::filesystem::path articles = root / "articles";
    root.write("articles/a.txt");
    namespace fs = std::filesystem;
    fs::create_symlink("a.txt", articles / "inside.txt");
    fs::create_symlink(data / "Orvane·Zentrel.ini", articles / "settings.txt");
    fs::create_symlink("/etc/passwd", articles / "passwd.txt");
    fs::create_symlink("../other/x.txt", articles / "other.txt");
    fs::create_symlink("missing.txt", articles / "dangling.txt");
    fs::create_symlink("loop.txt", articles / "loop.txt");
    std::vector<RefusedFile> refused;
    for (ListingMethod method : {kComplete, kFast}) {
        refused.clear();
        EXPECT_EQ(
            namesOf(listArticleFiles(articles.string(), "*.txt", method, data, &refused), articles.string()),
            (std::vector<std::string>{"a.txt", "inside.txt"}));
        std::vector<std::string> names;
        for (const RefusedFile& file : refused) {
            names.push_back(file.path.substr(articles.string().size() + 1));
            EXPECT_EQ(file.why, PathRefusal::OutsideFolder) << file.path;
        }
        EXPECT_EQ(names, (std::vector<std::string>{"other.txt", "passwd.txt", "settings.txt"}));
    }
    EXPECT_EQ(refused[1].realPath, fs::canonical("/etc/passwd").string());

    // At the moment of reading, as at the listing; a plain file is read where it lies.
    EXPECT_EQ(resolveArticlePath(articles.string(), (articles / "passwd.txt").string(), data).refusal,
              PathRefusal::OutsideFolder);
    const ArticlePath inside =
        resolveArticlePath(articles.string(), (articles / "inside.txt").string(), data);
    EXPECT_EQ(inside.refusal, PathRefusal::None);
    EXPECT_EQ(inside.realPath, fs::canonical(articles / "a.txt").string());
    EXPECT_TRUE(
        resolveArticlePath(articles.string(), (articles / "dangling.txt").string(), data).realPath.empty());

    // The data folder is no article folder, nor is a folder that holds it; a folder of its own
    // inside it is the operator's.
    EXPECT_TRUE(listArticleFiles(data.string(), "", kComplete, data, &refused).empty());
    EXPECT_EQ(refused.back().why, PathRefusal::InDataFolder);
    fs::create_symlink("data/Orvane·Zentrel.ini", root / "settings.txt");
    EXPECT_EQ(resolveArticlePath(root.str(), (root / "settings.txt").string(), data).refusal,
              PathRefusal::InDataFolder);
    root.write("data/文章/b.txt");
    EXPECT_EQ(listArticleFiles((data / "文章").string(), "", kComplete, data).size(), 1u);
}

struct TitleCase {
    const char* path;
    const char* title;
};

class TitleFromFileNameTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleFromFileNameTest, NameWithoutFolderAndLastExtension) {
    EXPECT_EQ(titleFromFileName(GetParam().path), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Paths, TitleFromFileNameTest,
                         ::testing::Values(TitleCase{"D:\\a\\[#2#]我是谁.txt", "[#2#]我是谁"},
                                           TitleCase{"a.b.txt", "a.b"}, TitleCase{"/x/y.d/noext", "noext"},
                                           TitleCase{"/x\\mixed/名字.htm", "名字"}, TitleCase{"dir/.txt", ""},
                                           // On this system a "\\" in a file name is part of the name.
                                           TitleCase{"/a/AC\\DC 演唱会.txt", "AC\\DC 演唱会"},
                                           TitleCase{"", ""}));

TEST(NextArticleTest, ReadOrderTakesTheFilesInListingOrder) {
    ArticleList list;
    list.assign({"1", "2", "3"});
    EXPECT_EQ(nextArticle(list, true), "1");
    EXPECT_EQ(nextArticle(list, true), "2");
    EXPECT_EQ(nextArticle(list, true), "3");
    EXPECT_EQ(nextArticle(list, true), std::nullopt);
    EXPECT_EQ(nextArticle(list, true), std::nullopt);
    EXPECT_EQ(list.cursor, 4);
}

TEST(NextArticleTest, RandomOrderTakesEveryFileOnce) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        text::seedRandom(seed);
        ArticleList list;
        list.assign({"1", "2", "3", "4", "5"});
        std::multiset<std::string> taken;
        while (std::optional<std::string> path = nextArticle(list, false)) taken.insert(*path);
        EXPECT_EQ(taken, (std::multiset<std::string>{"1", "2", "3", "4", "5"}));
    }
}

TEST(NextArticleTest, StoppingOrEmptyListGivesNothing) {
    ArticleList list;
    EXPECT_EQ(nextArticle(list, true), std::nullopt);
    list.assign({"1", "2"});
    EXPECT_EQ(nextArticle(list, false, true), std::nullopt);
    list.assign({"1", "2"});
    EXPECT_EQ(list.cursor, 0);
    EXPECT_EQ(nextArticle(list, true), "1");
}

}  // namespace
}  // namespace oz::content
