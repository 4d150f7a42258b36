#include "config/site_config.h"

#include <gtest/gtest.h>

#include "config/pinned_key.h"

namespace oz::config {
namespace {

struct HostCase {
    const char* input;
    const char* expected;
};

class NormalizeHost : public ::testing::TestWithParam<HostCase> {};

TEST_P(NormalizeHost, GivesHostAndPath) { EXPECT_EQ(normalizeHost(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeHost,
                         ::testing::Values(HostCase{"www.a.com", "www.a.com"},
                                           HostCase{"http://www.a.com/", "www.a.com"},
                                           HostCase{"HTTPS://www.a.com/news//", "www.a.com/news"},
                                           HostCase{" www. a.com\xE3\x80\x80", "www.a.com"},
                                           HostCase{"//a.com/b", "a.com/b"}, HostCase{"a.com//b", "a.comb"},
                                           HostCase{"hTtP://a.com/http://", "a.com"}, HostCase{"///", ""},
                                           HostCase{"/dede/", "dede"}, HostCase{"廬山.com/", "廬山.com"}));

TEST(SiteConfig, NormalizingGivesAnEmptyAdminFolderTheDefault) {
    SiteConfig site;
    site.domain = " http://a.com/ ";
    site.adminDir = " / ";
    normalizeSite(site);
    EXPECT_EQ(site.domain, "a.com");
    EXPECT_EQ(site.adminDir, "dede");
}

TEST(SiteConfig, PinnedKeysAreTakenAsLibcurlReadsThem) {
    const std::string hash = "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
    EXPECT_EQ(normalizePin(" sha256//ab c=;\r\n sha256//de= "), "sha256//abc=;sha256//de=");
    EXPECT_EQ(normalizePin(" " + hash + "\n"), "sha256//" + hash);
    EXPECT_EQ(normalizePin(" /home/me/my keys/site.pem "), "/home/me/my keys/site.pem");
    EXPECT_EQ(normalizePin(""), "");
}

TEST(SiteConfig, PinProblemTellsAWrongFormOnly) {
    const std::string hash = "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
    for (const std::string& good : {std::string(), hash, "sha256//" + hash + "; sha256//" + hash,
                                    std::string("/home/me/site.pem"), std::string("site.pem")})
        EXPECT_EQ(pinProblem(good), "") << good;
    for (const std::string& bad : {std::string("sha256//abc"),
                                   "sha256//" + hash + ";sha256//" + hash.substr(1), std::string("abcdef")})
        EXPECT_NE(pinProblem(bad), "") << bad;
}

TEST(SiteList, DuplicatesAreEqualDomainAndUser) {
    SiteList list;
    SiteConfig a;
    a.domain = "a.com";
    a.user = "admin";
    a.password = "one";
    list.sites.push_back(a);

    SiteConfig other = a;
    other.password = "two";
    EXPECT_EQ(list.findDuplicate(other), 0);  // the password does not count
    EXPECT_FALSE(list.findDuplicate(other, 0));
    other.user = "editor";
    EXPECT_FALSE(list.findDuplicate(other));
    other.user = "Admin";
    EXPECT_FALSE(list.findDuplicate(other));  // case-sensitive
    EXPECT_EQ(siteLabel(a), "a.com(admin)");
}

}  // namespace
}  // namespace oz::config
