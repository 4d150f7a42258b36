#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oz::config {

// One site's configuration. The comment after each field is its settings key; fields are listed in
// the order they are written to (and read from) the site's section of the settings file.
// Member defaults are the values a field takes when its key is missing from the settings file.
// Texts are UTF-8; list fields (keys ending in 数据) keep their lines separated by CR LF.
struct SiteConfig {
    bool enabled = false;           // 启用
    std::string user;               // 用户
    std::string password;           // 密码
    std::string domain;             // 域名
    int charset = 0;                // 编码: 0 UTF-8, 1 GBK
    std::string adminDir = "dede";  // 目录 (back-end folder; "dede" when empty)
    bool https = false;             // HTTPS (written right after 目录)
    // 证书公钥 (written right after HTTPS): the site's own certificate, trusted by its public key
    // ("sha256//" + base64, several joined by ";", or a key file's path); empty: verified as usual.
    std::string pinnedPublicKey;
    // 代理服务器 (written right after 证书公钥): how the site's requests leave this machine (see
    // config/proxy_setting.h); absent: 基本配置's 默认代理服务器 applies. Holds a password like 密码.
    std::optional<std::string> proxy;
    std::string keywordList;  // 关键词数据
    int keywordCountMin = 0;  // 关键词数1
    int keywordCountMax = 0;  // 关键词数2
    int keywordMethod = 2;  // 关键词方式: 0 随机词组 1 自动分词 2 使用标题 3 留空内容 4 内容首行
    std::string tagList;                 // 标签数据
    int tagCountMin = 0;                 // 标签数1
    int tagCountMax = 0;                 // 标签数2
    int tagMethod = 1;                   // 标签方式 (same items as 关键词方式)
    std::string shortTitleList;          // 标题数据
    int shortTitleCountMin = 1;          // 标题数1
    int shortTitleCountMax = 3;          // 标题数2
    int shortTitleMethod = 1;            // 标题方式 (same items as 关键词方式)
    int summaryLengthMin = 0;            // 内容摘要数1
    int summaryLengthMax = 0;            // 内容摘要数2
    int fileNameRule = 0;                // 文章地址: 0 顺序命名 1 标题首拼 2 随机字母
    int letterCountMin = 0;              // 字母数1
    int letterCountMax = 0;              // 字母数2
    std::string authorList;              // 作者数据
    std::string source;                  // 文章来源
    int viewCountMin = 0;                // 浏览次数1
    int viewCountMax = 0;                // 浏览次数2
    bool flagHeadline = false;           // 头条
    bool flagRecommended = false;        // 推荐
    bool flagSlide = false;              // 幻灯
    bool flagSpecial = false;            // 特荐
    bool flagScrolling = false;          // 滚动
    bool flagBold = false;               // 加粗
    bool flagPicture = false;            // 图片
    bool randomFlags = false;            // 随机属性
    int titleColor = 0;                  // 标题颜色
    bool generateHtml = false;           // 生成HTML
    bool closeComments = false;          // 关闭评论
    bool downloadRemoteImages = false;   // 下载远程图片和资源
    bool firstImageAsThumbnail = false;  // 提取第一个图片为缩略图
    bool removeForeignLinks = false;     // 删除非站内链接
    bool watermarkImages = false;        // 图片加水印
    bool splitPages = false;             // 文章分页
    int pageSizeKb = 0;                  // 分页千字节
    std::string categoryTree;         // 栏目数据 (raw bytes, stored in inibin/<section>-栏目数据.ibn)
    std::string categoryIds;          // 栏目ID (checked category IDs joined by ",")
    int categoryCurrentItem = 0;      // 栏目选择项
    std::string articleDir;           // 文章目录
    int fileEncoding = 0;             // 文件编码: 0 自动识别 1 GBK 2 UTF-8 3 Unicode 4 Unicode BE
    std::string fileFilter;           // 文件过滤
    int articleCount = 0;             // 更新数量 (0 = all files)
    float intervalMin = 0;            // 更新间隔1 (seconds)
    float intervalMax = 0;            // 更新间隔2 (seconds)
    bool deleteAfterPublish = false;  // 更新后删除
    bool firstLineTitle = false;      // 首行标题
    bool paragraphTags = false;       // 段落标签
    int refreshHtmlMode = 0;          // 刷新HTML类型: 0 never, 1 at the end, 2 after every article
    bool bodyKeywordInsert = false;   // 关键词插入
    std::string bodyKeywordList;      // 关键词插入数据
    int bodyKeywordTimesMin = 0;      // 关键词插入次数1
    int bodyKeywordTimesMax = 0;      // 关键词插入次数2
    bool bodyKeywordNewEachTime = false;        // 关键词插入换词
    bool tailKeywordInsert = false;             // 尾部关键词插入
    std::string tailKeywordList;                // 尾部关键词插入数据
    int tailKeywordTimesMin = 0;                // 尾部关键词插入次数1
    int tailKeywordTimesMax = 0;                // 尾部关键词插入次数2
    bool tailKeywordNewEachTime = false;        // 尾部关键词插入换词
    bool tailArticleBlocks = false;             // 尾部调用文章块
    std::string tailBlockSeparator = "分块符";  // 尾部分块符 ("\n" in it stands for a line break)
    bool titleKeywordInsert = false;            // 标题关键词插入
    std::string titleKeywordList;               // 标题关键词插入数据
    int titleKeywordPercent = 43;               // 标题关键词插入概率
    int titleKeywordPosition = 0;  // 标题关键词插入方式: 0 标题前 1 标题后 2 随机位置
    std::string titleKeywordSeparator = "：";  // 标题关键词插入间隔

    bool operator==(const SiteConfig&) const = default;
};

// The values the controls of a freshly opened main window show, before any settings are applied
// (a newly added site is checked). Combo boxes start on the item a missing key would give.
SiteConfig initialSiteConfig();

// 域名 + "(" + 用户 + ")": the list entry's text and the identity of a site.
std::string siteLabel(const SiteConfig& site);

// Removes every space (ASCII and the full-width U+3000), every "http://", "https://" and "//"
// (case-insensitive), then the "/" characters at both ends.
std::string normalizeHost(std::string_view text);

// The normalisation every record read from the window (or an import) goes through:
// 域名 and 目录 through normalizeHost, an empty 目录 becomes "dede", 证书公钥 loses the white space
// around it and its parts, 代理服务器 the spaces around it.
void normalizeSite(SiteConfig& site);
// 证书公钥 as libcurl takes it: a list of "sha256//" keys without any white space, or a file path
// without white space at its ends; a bare base64 SHA-256 (as openssl prints it) gets "sha256//".
std::string normalizePin(std::string_view pin);

// The ordered site list with its current entry (-1 for none). Loading appends without checking
// duplicates; adding, modifying and importing refuse a record whose label equals another entry's.
struct SiteList {
    std::vector<SiteConfig> sites;
    int current = -1;

    int size() const { return static_cast<int>(sites.size()); }
    // Index of the first entry whose label equals the record's (exact, case-sensitive),
    // skipping `skipIndex`; std::nullopt when there is none.
    std::optional<int> findDuplicate(const SiteConfig& site, int skipIndex = -1) const;
};

// Room for `more` sites, taken at once (a load or an import of 100,000 sites).
void reserveSites(SiteList& list, std::size_t more);

}  // namespace oz::config
