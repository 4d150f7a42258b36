#include "config/site_list_store.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "config/number_text.h"

namespace oz::config {

namespace {

using Member = std::variant<bool SiteConfig::*, int SiteConfig::*, float SiteConfig::*,
                            std::string SiteConfig::*, std::optional<std::string> SiteConfig::*>;

struct SiteField {
    const char* key;
    Member member;
    bool bytes = false;  // stored as a byte value (inibin file) instead of text
    // A key newer than the files of the Windows program: while empty it is written only where the
    // section has it already, so a file without it is saved back byte for byte.
    bool onlyWhenSet = false;
};

// Every key of a site section, in the order of writing and reading.
const std::array kSiteFields = {
    SiteField{"启用", &SiteConfig::enabled},
    SiteField{"用户", &SiteConfig::user},
    SiteField{"密码", &SiteConfig::password},
    SiteField{"域名", &SiteConfig::domain},
    SiteField{"编码", &SiteConfig::charset},
    SiteField{"目录", &SiteConfig::adminDir},
    SiteField{"HTTPS", &SiteConfig::https},
    SiteField{"证书公钥", &SiteConfig::pinnedPublicKey, false, true},
    SiteField{kProxyKey, &SiteConfig::proxy},
    SiteField{"关键词数据", &SiteConfig::keywordList},
    SiteField{"关键词数1", &SiteConfig::keywordCountMin},
    SiteField{"关键词数2", &SiteConfig::keywordCountMax},
    SiteField{"关键词方式", &SiteConfig::keywordMethod},
    SiteField{"标签数据", &SiteConfig::tagList},
    SiteField{"标签数1", &SiteConfig::tagCountMin},
    SiteField{"标签数2", &SiteConfig::tagCountMax},
    SiteField{"标签方式", &SiteConfig::tagMethod},
    SiteField{"标题数据", &SiteConfig::shortTitleList},
    SiteField{"标题数1", &SiteConfig::shortTitleCountMin},
    SiteField{"标题数2", &SiteConfig::shortTitleCountMax},
    SiteField{"标题方式", &SiteConfig::shortTitleMethod},
    SiteField{"内容摘要数1", &SiteConfig::summaryLengthMin},
    SiteField{"内容摘要数2", &SiteConfig::summaryLengthMax},
    SiteField{"文章地址", &SiteConfig::fileNameRule},
    SiteField{"字母数1", &SiteConfig::letterCountMin},
    SiteField{"字母数2", &SiteConfig::letterCountMax},
    SiteField{"作者数据", &SiteConfig::authorList},
    SiteField{"文章来源", &SiteConfig::source},
    SiteField{"浏览次数1", &SiteConfig::viewCountMin},
    SiteField{"浏览次数2", &SiteConfig::viewCountMax},
    SiteField{"头条", &SiteConfig::flagHeadline},
    SiteField{"推荐", &SiteConfig::flagRecommended},
    SiteField{"幻灯", &SiteConfig::flagSlide},
    SiteField{"特荐", &SiteConfig::flagSpecial},
    SiteField{"滚动", &SiteConfig::flagScrolling},
    SiteField{"加粗", &SiteConfig::flagBold},
    SiteField{"图片", &SiteConfig::flagPicture},
    SiteField{"随机属性", &SiteConfig::randomFlags},
    SiteField{"标题颜色", &SiteConfig::titleColor},
    SiteField{"生成HTML", &SiteConfig::generateHtml},
    SiteField{"关闭评论", &SiteConfig::closeComments},
    SiteField{"下载远程图片和资源", &SiteConfig::downloadRemoteImages},
    SiteField{"提取第一个图片为缩略图", &SiteConfig::firstImageAsThumbnail},
    SiteField{"删除非站内链接", &SiteConfig::removeForeignLinks},
    SiteField{"图片加水印", &SiteConfig::watermarkImages},
    SiteField{"文章分页", &SiteConfig::splitPages},
    SiteField{"分页千字节", &SiteConfig::pageSizeKb},
    SiteField{"栏目数据", &SiteConfig::categoryTree, true},
    SiteField{"栏目ID", &SiteConfig::categoryIds},
    SiteField{"栏目选择项", &SiteConfig::categoryCurrentItem},
    SiteField{"文章目录", &SiteConfig::articleDir},
    SiteField{"文件编码", &SiteConfig::fileEncoding},
    SiteField{"文件过滤", &SiteConfig::fileFilter},
    SiteField{"更新数量", &SiteConfig::articleCount},
    SiteField{"更新间隔1", &SiteConfig::intervalMin},
    SiteField{"更新间隔2", &SiteConfig::intervalMax},
    SiteField{"更新后删除", &SiteConfig::deleteAfterPublish},
    SiteField{"首行标题", &SiteConfig::firstLineTitle},
    SiteField{"段落标签", &SiteConfig::paragraphTags},
    SiteField{"刷新HTML类型", &SiteConfig::refreshHtmlMode},
    SiteField{"关键词插入", &SiteConfig::bodyKeywordInsert},
    SiteField{"关键词插入数据", &SiteConfig::bodyKeywordList},
    SiteField{"关键词插入次数1", &SiteConfig::bodyKeywordTimesMin},
    SiteField{"关键词插入次数2", &SiteConfig::bodyKeywordTimesMax},
    SiteField{"关键词插入换词", &SiteConfig::bodyKeywordNewEachTime},
    SiteField{"尾部关键词插入", &SiteConfig::tailKeywordInsert},
    SiteField{"尾部关键词插入数据", &SiteConfig::tailKeywordList},
    SiteField{"尾部关键词插入次数1", &SiteConfig::tailKeywordTimesMin},
    SiteField{"尾部关键词插入次数2", &SiteConfig::tailKeywordTimesMax},
    SiteField{"尾部关键词插入换词", &SiteConfig::tailKeywordNewEachTime},
    SiteField{"尾部调用文章块", &SiteConfig::tailArticleBlocks},
    SiteField{"尾部分块符", &SiteConfig::tailBlockSeparator},
    SiteField{"标题关键词插入", &SiteConfig::titleKeywordInsert},
    SiteField{"标题关键词插入数据", &SiteConfig::titleKeywordList},
    SiteField{"标题关键词插入概率", &SiteConfig::titleKeywordPercent},
    SiteField{"标题关键词插入方式", &SiteConfig::titleKeywordPosition},
    SiteField{"标题关键词插入间隔", &SiteConfig::titleKeywordSeparator},
};

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
// Clang 14 has no deduction of aggregate class template arguments.
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

void readField(SettingsFile& file, const SiteField& field, SiteConfig& site) {
    std::visit(Overloaded{
                   [&](bool SiteConfig::*m) { site.*m = file.readBool(field.key, site.*m); },
                   [&](int SiteConfig::*m) { site.*m = toInt(file.readNumber(field.key, site.*m)); },
                   [&](float SiteConfig::*m) { site.*m = toFloat(file.readNumber(field.key, site.*m)); },
                   [&](std::string SiteConfig::*m) {
                       site.*m = field.bytes ? file.readBytes(field.key, site.*m)
                                             : file.readText(field.key, site.*m);
                   },
                   [&](std::optional<std::string> SiteConfig::*m) {
                       site.*m = file.hasKey(field.key) ? std::optional(file.readText(field.key, ""))
                                                        : std::nullopt;
                   },
               },
               field.member);
}

bool writeField(SettingsFile& file, const SiteField& field, const SiteConfig& site) {
    if (field.onlyWhenSet && !file.hasKey(field.key)) {
        const bool set =
            std::visit([&](auto m) { return site.*m != std::decay_t<decltype(site.*m)>{}; }, field.member);
        if (!set) return true;
    }
    return std::visit(Overloaded{
                          [&](bool SiteConfig::*m) { return file.writeBool(field.key, site.*m); },
                          [&](int SiteConfig::*m) { return file.writeNumber(field.key, site.*m); },
                          [&](float SiteConfig::*m) { return file.writeNumber(field.key, site.*m); },
                          [&](std::string SiteConfig::*m) {
                              return field.bytes ? file.writeBytes(field.key, site.*m)
                                                 : file.writeText(field.key, site.*m);
                          },
                          // Absent: the key goes, so the default applies again.
                          [&](std::optional<std::string> SiteConfig::*m) {
                              if (site.*m) return file.writeText(field.key, *(site.*m));
                              return !file.hasKey(field.key) || file.deleteKey(field.key);
                          },
                      },
                      field.member);
}

// One batch around a group of writes; remembers whether every write succeeded.
class BatchScope {
   public:
    explicit BatchScope(SettingsFile& file) : m_file(file) { m_file.beginBatch(); }
    ~BatchScope() {
        if (m_open) m_file.endBatch();
    }
    void note(bool ok) { m_ok = m_ok && ok; }
    bool finish() {
        m_open = false;
        note(m_file.endBatch());
        return m_ok;
    }

   private:
    SettingsFile& m_file;
    bool m_open = true;
    bool m_ok = true;
};

struct OptionBool {
    const char* key;
    bool RunOptions::*member;
};

// The check boxes and menu check marks of "基本配置", in the order of the global save.
constexpr OptionBool kCheckBoxes[] = {
    {"选择框完成关机", &RunOptions::shutdownWhenDone},
    {"选择框失败时重复尝试", &RunOptions::retryOnFailure},
    {"选择框按读入顺序发布", &RunOptions::publishInReadOrder},
};
constexpr OptionBool kMenuChecks[] = {
    {"XML地图", &RunOptions::refreshXmlMap},           {"XML地图【模块】", &RunOptions::refreshXmlMapModule},
    {"TXT地图", &RunOptions::refreshTxtMap},           {"静态TAG", &RunOptions::refreshStaticTags},
    {"单页文档", &RunOptions::refreshSinglePages},     {"自由列表", &RunOptions::refreshFreeLists},
    {"下篇文档", &RunOptions::refreshNextArticle},     {"系统缓存", &RunOptions::refreshSystemCache},
    {"网站地图HTML", &RunOptions::refreshSiteMapHtml},
};

void saveRunOptionsUnbatched(SettingsFile& file, const RunOptions& o, BatchScope& batch) {
    file.setSection(kRunOptionsSection);
    batch.note(file.writeBool("同步循环", o.synchronousCycle));
    batch.note(file.writeText("循环间隔1", o.cycleInterval));
    batch.note(file.writeBool("先后独立", o.independentSites));
    batch.note(file.writeText("同时站点数", o.simultaneousSites));
    batch.note(file.writeBool("启用全局更新数量", o.useGlobalCount));
    batch.note(file.writeText("全局更新数量", o.globalCount));
    batch.note(file.writeBool("RSS所有栏目", o.rssAllCategories));
    batch.note(file.writeBool("一键更新网站", o.oneClickUpdate));
    batch.note(file.writeBool("刷新子级栏目", o.refreshChildCategories));
    for (const auto& box : kCheckBoxes) batch.note(file.writeBool(box.key, o.*box.member));
    batch.note(file.writeNumber("访问方式", o.accessMethod));
    batch.note(file.writeText("导入路径", o.importPath));
    batch.note(file.writeText("导出路径", o.exportPath));
    // A newer option: a file that never set it is left as it was.
    if (o.settleSeconds != RunOptions{}.settleSeconds || file.hasKey("确认等待秒数")) {
        batch.note(file.writeText("确认等待秒数", o.settleSeconds));
    }
    if (!o.liveCheck || file.hasKey("发布后前台检查"))
        batch.note(file.writeBool("发布后前台检查", o.liveCheck));
    if (!o.defaultProxy.empty() || file.hasKey(kDefaultProxyKey)) {
        batch.note(file.writeText(kDefaultProxyKey, o.defaultProxy));
    }
    if (o.republishPublished || file.hasKey("重复发布已发布文件")) {
        batch.note(file.writeBool("重复发布已发布文件", o.republishPublished));
    }
    for (const auto& check : kMenuChecks) batch.note(file.writeBool(check.key, o.*check.member));
}

void saveSiteListUnbatched(SettingsFile& file, const SiteList& list, BatchScope& batch) {
    file.setSection(kSiteListSection);
    batch.note(file.writeNumber(kSiteCountKey, list.size()));
    batch.note(file.writeNumber(kCurrentSiteKey, list.current));
    const std::size_t before = file.byteSize();
    for (int i = 0; i < list.size(); ++i) {
        file.setSection(siteSectionName(i + 1));
        const SiteConfig& site = list.sites[static_cast<std::size_t>(i)];
        for (const SiteField& field : kSiteFields) batch.note(writeField(file, field, site));
        // The first site tells about what each one adds: room for the rest at once.
        if (i == 0 && file.byteSize() > before) {
            file.reserve((file.byteSize() - before) * static_cast<std::size_t>(list.size()) * 9 / 8);
        }
    }
}

// The numbers n of the file's "站点序号_" + n sections from 1 to `count`, in ascending order, each
// once: so a huge or garbled 站点数 costs no more than the sections that exist.
std::vector<int> siteSectionNumbers(const SettingsFile& file, int count) {
    const std::string_view prefix = kSiteSectionPrefix;
    std::vector<int> numbers;
    for (const std::string& name : file.sectionNames()) {
        if (!name.starts_with(prefix)) continue;
        const std::string_view digits = std::string_view(name).substr(prefix.size());
        if (digits.empty() || digits.size() > 9 || digits[0] == '0' ||
            digits.find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        const int number = std::stoi(std::string(digits));
        if (number <= count) numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

bool settable(const SiteField& field) { return !field.bytes && std::string_view(field.key) != kEnabledKey; }

std::optional<double> strictNumber(std::string_view text) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end == nullptr || *end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::string setSiteField(SiteConfig& site, std::string_view key, std::string_view value) {
    const auto field = std::find_if(kSiteFields.begin(), kSiteFields.end(),
                                    [&](const SiteField& f) { return f.key == key; });
    if (field == kSiteFields.end() || !settable(*field)) {
        return "没有这个设置项：" + std::string(key).substr(0, 60) + "（sites --help 列出可设置的项）";
    }
    const std::string name(key);
    return std::visit(Overloaded{
                          [&](bool SiteConfig::*m) -> std::string {
                              if (value == "真" || value == "1") return site.*m = true, "";
                              if (value == "假" || value == "0") return site.*m = false, "";
                              return name + " 的值应为 真 或 假";
                          },
                          [&](int SiteConfig::*m) -> std::string {
                              const std::optional<double> number = strictNumber(value);
                              if (!number || *number != std::trunc(*number)) return name + " 的值应为整数";
                              return site.*m = toInt(*number), "";
                          },
                          [&](float SiteConfig::*m) -> std::string {
                              const std::optional<double> number = strictNumber(value);
                              if (!number) return name + " 的值应为数字";
                              return site.*m = toFloat(*number), "";
                          },
                          [&](std::string SiteConfig::*m) -> std::string {
                              std::string text;
                              for (char c : value)
                                  text += c == '\n' && !text.ends_with('\r') ? std::string("\r\n")
                                                                             : std::string(1, c);
                              return site.*m = std::move(text), "";
                          },
                          [&](std::optional<std::string> SiteConfig::*m) -> std::string {
                              return site.*m = std::string(value), "";
                          },
                      },
                      field->member);
}

std::string settableSiteKeys() {
    std::string keys;
    for (const SiteField& field : kSiteFields) {
        if (!settable(field)) continue;
        if (!keys.empty()) keys += "、";
        keys += field.key;
    }
    return keys;
}

std::string siteSectionName(int index) { return kSiteSectionPrefix + std::to_string(index); }

SiteConfig loadSite(SettingsFile& file, int index) {
    file.setSection(siteSectionName(index));
    SiteConfig site;
    for (const SiteField& field : kSiteFields) readField(file, field, site);
    if (site.adminDir.empty()) site.adminDir = "dede";
    return site;
}

int loadSiteList(SettingsFile& file, SiteList& list) {
    file.setSection(kSiteListSection);
    const int count = toInt(file.readNumber(kSiteCountKey, 0));
    const int current = toInt(file.readNumber(kCurrentSiteKey, 0));
    // A site without a section of its own would be a blank record: it is not created. A file the
    // program wrote holds every section, so for it nothing changes; a 91-byte file that claims
    // 100,000 sites and holds one section loads as one site.
    const std::vector<int> numbers = siteSectionNumbers(file, count);
    int currentEntry = current >= 0 && current < count ? -1 : current;
    reserveSites(list, numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (numbers[i] == current + 1) currentEntry = static_cast<int>(i);
        list.sites.push_back(loadSite(file, numbers[i]));
    }
    return currentEntry;
}

bool saveSiteList(SettingsFile& file, const SiteList& list) {
    BatchScope batch(file);
    saveSiteListUnbatched(file, list, batch);
    return batch.finish();
}

bool saveSiteEnabled(SettingsFile& file, int index, bool enabled) {
    file.setSection(siteSectionName(index));
    return file.writeBool(kEnabledKey, enabled);
}

int deleteStaleSiteSections(SettingsFile& file, int siteCount) {
    int deleted = 0;
    for (int k = siteCount + 1; file.deleteSection(siteSectionName(k)); ++k) ++deleted;
    return deleted;
}

RunOptions loadRunOptions(SettingsFile& file, const RunOptions& defaults) {
    RunOptions o = defaults;
    file.setSection(kRunOptionsSection);
    o.synchronousCycle = file.readBool("同步循环", o.synchronousCycle);
    o.cycleInterval = file.readText("循环间隔1", o.cycleInterval);
    o.independentSites = file.readBool("先后独立", o.independentSites);
    o.simultaneousSites = file.readText("同时站点数", o.simultaneousSites);
    o.useGlobalCount = file.readBool("启用全局更新数量", o.useGlobalCount);
    o.globalCount = file.readText("全局更新数量", o.globalCount);
    o.rssAllCategories = file.readBool("RSS所有栏目", o.rssAllCategories);
    o.oneClickUpdate = file.readBool("一键更新网站", o.oneClickUpdate);
    o.refreshChildCategories = file.readBool("刷新子级栏目", o.refreshChildCategories);
    o.accessMethod = toInt(file.readNumber("访问方式", o.accessMethod));
    o.importPath = file.readText("导入路径", o.importPath);
    o.exportPath = file.readText("导出路径", o.exportPath);
    o.settleSeconds = file.readText("确认等待秒数", o.settleSeconds);
    o.liveCheck = file.readBool("发布后前台检查", o.liveCheck);
    o.defaultProxy = file.readText(kDefaultProxyKey, o.defaultProxy);
    o.republishPublished = file.readBool("重复发布已发布文件", o.republishPublished);
    for (const auto& box : kCheckBoxes) o.*box.member = file.readBool(box.key, o.*box.member);
    for (const auto& check : kMenuChecks) o.*check.member = file.readBool(check.key, o.*check.member);
    o.autoStartSchedule = file.readBool("自动开启计划任务", o.autoStartSchedule);
    o.scheduleCompleteListing = file.readBool("计划任务_鼠标左键", o.scheduleCompleteListing);
    return o;
}

bool saveRunOptions(SettingsFile& file, const RunOptions& options) {
    BatchScope batch(file);
    saveRunOptionsUnbatched(file, options, batch);
    return batch.finish();
}

bool saveScheduleOptions(SettingsFile& file, const RunOptions& options) {
    BatchScope batch(file);
    file.setSection(kRunOptionsSection);
    batch.note(file.writeBool("自动开启计划任务", options.autoStartSchedule));
    batch.note(file.writeBool("计划任务_鼠标左键", options.scheduleCompleteListing));
    return batch.finish();
}

bool globalSave(SettingsFile& file, const RunOptions& options, const SiteList& list) {
    BatchScope batch(file);
    saveRunOptionsUnbatched(file, options, batch);
    saveSiteListUnbatched(file, list, batch);
    return batch.finish();
}

}  // namespace oz::config
