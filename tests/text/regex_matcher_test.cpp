#include "text/regex_matcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace oz::text {
namespace {

using std::chrono::steady_clock;

TEST(RegexMatcher, OptionsDefaultOnAndEachCanBeTurnedOff) {
    EXPECT_TRUE(RegexMatcher("ABC").test("xabcx"));
    EXPECT_FALSE(RegexMatcher("ABC", {.ignoreCase = false}).test("xabcx"));
    EXPECT_EQ(RegexMatcher("^b").replace("a\nb\nb", "X"), "a\nX\nX");
    EXPECT_EQ(RegexMatcher("^b", {.multiline = false}).replace("a\nb", "X"), "a\nb");
    EXPECT_EQ(RegexMatcher("o").replace("foo", "0"), "f00");
    EXPECT_EQ(RegexMatcher("o", {.global = false}).replace("foo", "0"), "f0o");
}

TEST(RegexMatcher, EcmaScriptFeatures) {
    EXPECT_EQ(RegexMatcher(R"([\u4e00-\u9fa5]+)").replace("ab中文cd", "-"), "ab-cd");
    EXPECT_EQ(RegexMatcher(R"(<[\s\S]+?>)").replace("<b>x</b>", ""), "x");
    EXPECT_EQ(RegexMatcher(R"(\w+)").replace("ab_1中文", "W"), "W中文");  // \w is ASCII only
    EXPECT_EQ(RegexMatcher(R"(\s)").replace("a b\u3000c", ""), "ab\u3000c");
    EXPECT_EQ(RegexMatcher("a.c").replace("a\nc a\rc abc", "X"), "a\nc a\rc X");
    EXPECT_EQ(RegexMatcher("[^]").replace("a\n", "."), "..");
}

TEST(RegexMatcher, ReplacementTemplates) {
    const RegexMatcher date(R"((\d+)-(\d+))");
    EXPECT_EQ(date.replace("on 12-31.", "$2/$1"), "on 31/12.");
    EXPECT_EQ(date.replace("12-31", "[$&] $$ $3 $"), "[12-31] $ $3 $");
    EXPECT_EQ(date.replace("a12-31b", "<$`|$'>"), "a<a|b>b");
    EXPECT_EQ(RegexMatcher("(a)").replace("a", "$10"), "a0");
}

TEST(RegexMatcher, MatchListGivesValuesOffsetsAndGroups) {
    const auto found = RegexMatcher(R"((\w)(\d)?)").matches("中a1 b");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].value, "a1");
    EXPECT_EQ(found[0].offset, 3u);
    EXPECT_EQ(found[0].subMatches, (std::vector<std::string>{"a", "1"}));
    EXPECT_EQ(found[1].subMatches, (std::vector<std::string>{"b", ""}));
    EXPECT_EQ(RegexMatcher("x*").matches("axxb").size(), 4u);  // empty matches step on
    EXPECT_EQ(RegexMatcher("x*").replace("中a", "-"), "-中-a-");
}

TEST(RegexMatcher, PatternThatDoesNotCompileNeverMatches) {
    const RegexMatcher broken("(unclosed[");
    EXPECT_FALSE(broken.valid());
    EXPECT_FALSE(broken.error().empty());
    EXPECT_FALSE(broken.test("unclosed["));
    EXPECT_EQ(broken.replace("keep me", "x"), "keep me");
    EXPECT_TRUE(broken.matches("keep me").empty());
    RegexMatcher moved("a");
    const RegexMatcher taken(std::move(moved));
    EXPECT_TRUE(taken.test("a"));
    EXPECT_FALSE(moved.test("a"));  // NOLINT(bugprone-use-after-move): a moved-from matcher must not crash
    // A pattern that cannot take the budget wrapper still works.
    EXPECT_TRUE(RegexMatcher("(?x) a # comment").test("a"));
}

TEST(RegexMatcher, InvalidUtf8InTheTextIsNoError) {
    EXPECT_EQ(RegexMatcher("b").replace("a\xFF"
                                        "b\xC3",
                                        "B"),
              "a\xFF"
              "B\xC3");
}

TEST(RegexMatcher, CatastrophicBacktrackingEndsQuickly) {
    const auto began = steady_clock::now();
    EXPECT_FALSE(RegexMatcher("(a+)+b").test(std::string(40, 'a')));
    EXPECT_FALSE(RegexMatcher("(x+x+)+y").test(std::string(60, 'x')));
    EXPECT_LT(steady_clock::now() - began, std::chrono::seconds(20));
}

// 50 MB of unclosed tags makes every attempt scan to the end; the budget ends the call.
TEST(RegexMatcher, HugeTextWithQuadraticWorkEndsWithinItsBudget) {
    const std::string huge(50 * 1024 * 1024, '<');
    const auto began = steady_clock::now();
    RegexOptions options;
    options.timeLimitMs = 500;
    EXPECT_EQ(RegexMatcher("<[^>]+>", options).replace(huge, "").size(), huge.size());
    EXPECT_LT(steady_clock::now() - began, std::chrono::seconds(10));
}

TEST(RegexMatcher, OneMatcherServesManyThreads) {
    const RegexMatcher digits(R"(\d+)");
    std::vector<std::thread> threads;
    std::vector<std::string> results(4);
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) results[t] = digits.replace("a1b22c333", "#");
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) EXPECT_EQ(result, "a#b#c#");
}

TEST(WildcardToRegex, EscapesMetacharactersAndKeepsAlternatives) {
    EXPECT_EQ(wildcardToRegex("a+b*.txt"), R"(a\+b.*\.txt)");
    EXPECT_EQ(wildcardToRegex("[x](1)?=-\"^$\\{}"), R"(\[x\]\(1\).?\=\-\"\^\$\\\{\})");
    const RegexMatcher filter(wildcardToRegex("*.htm|*.txt"));
    EXPECT_TRUE(filter.test("News.HTM"));
    EXPECT_TRUE(filter.test("a.txt"));
    EXPECT_FALSE(filter.test("a.doc"));
    EXPECT_FALSE(RegexMatcher(wildcardToRegex("a.b")).test("axb"));
}

}  // namespace
}  // namespace oz::text
