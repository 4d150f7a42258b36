#include "ui/site_bindings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>
#include <algorithm>
#include <cfloat>

#include "backend/run_settings.h"
#include "config/number_text.h"
#include "ui/control_state.h"
#include "ui/form_widgets.h"

namespace oz::ui {

namespace {

using config::RunOptions;
using config::SiteConfig;
using K = BindingKind;

// Line breaks are CR LF in records and LF in the widgets.
QString toWidgetText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
std::string fromWidgetText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

QString widgetText(const QWidget* w) {
    if (auto* line = qobject_cast<const QLineEdit*>(w)) return line->text();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(w)) return boxText(plain);
    return {};
}
void setWidgetText(QWidget* w, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(w)) {
        line->setText(text);
        line->setCursorPosition(0);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        plain->setPlainText(text);
    }
}

// A number as the operator typed it: "0.01" for the float nearest 0.01, not its nine digits.
template <typename T>
QString numberText(T value) {
    if constexpr (std::is_same_v<T, float>) {
        return QString::fromStdString(config::formatNumber(value));
    } else {
        return QString::number(value);
    }
}

// A box's text as the member's type, held inside that type's range ("99999999999" stays the
// largest int rather than wrapping to a negative one).
template <typename T>
T numberOf(const QString& text) {
    const double value = backend::lenientReal(text.toStdString());
    if constexpr (std::is_same_v<T, float>) {
        return static_cast<float>(std::clamp(value, -double(FLT_MAX), double(FLT_MAX)));
    } else {
        return config::toInt(value);
    }
}

// The value a control shows, as the text/int/float/bool the member holds.
template <typename Member, typename Record>
void showValue(QWidget* w, BindingKind kind, const Member& member, const Record& record, int radioValue) {
    std::visit(
        [&](auto pointer) {
            const auto& value = record.*pointer;
            using T = std::decay_t<decltype(value)>;
            switch (kind) {
                case K::Text:
                    if constexpr (std::is_same_v<T, std::string>) setWidgetText(w, toWidgetText(value));
                    if constexpr (std::is_same_v<T, std::optional<std::string>>)
                        setWidgetText(w, toWidgetText(value.value_or("")));
                    break;
                case K::Integer:
                case K::Real:
                    if constexpr (std::is_same_v<T, int> || std::is_same_v<T, float>)
                        setWidgetText(w, numberText(value));
                    break;
                case K::Check:
                    if constexpr (std::is_same_v<T, bool>)
                        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setChecked(value);
                    break;
                case K::Combo:
                    if constexpr (std::is_same_v<T, int>)
                        if (auto* c = qobject_cast<QComboBox*>(w))
                            c->setCurrentIndex(value < c->count() ? value : -1);
                    break;
                case K::Tag:
                    if constexpr (std::is_same_v<T, std::string>) setTag(w, toWidgetText(value));
                    break;
                case K::Color:
                    if constexpr (std::is_same_v<T, int>) w->setProperty(kColorValueProperty, value);
                    break;
                case K::Radio:
                    if constexpr (std::is_same_v<T, int>)
                        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setChecked(value == radioValue);
                    break;
            }
        },
        member);
}

template <typename Member, typename Record>
void readValue(const QWidget* w, BindingKind kind, const Member& member, Record& record, int radioValue) {
    std::visit(
        [&](auto pointer) {
            auto& value = record.*pointer;
            using T = std::decay_t<decltype(value)>;
            switch (kind) {
                case K::Text:
                    if constexpr (std::is_same_v<T, std::string>) value = fromWidgetText(widgetText(w));
                    // An empty box leaves a record without a value of its own without one (the
                    // default applies) and one with a value empty (direct).
                    if constexpr (std::is_same_v<T, std::optional<std::string>>) {
                        std::string text = fromWidgetText(widgetText(w));
                        if (!text.empty() || value) value = std::move(text);
                    }
                    break;
                case K::Integer:
                case K::Real:
                    if constexpr (std::is_same_v<T, int> || std::is_same_v<T, float>)
                        value = numberOf<T>(widgetText(w));
                    break;
                case K::Check:
                    if constexpr (std::is_same_v<T, bool>)
                        if (auto* b = qobject_cast<const QAbstractButton*>(w)) value = b->isChecked();
                    break;
                case K::Combo:
                    if constexpr (std::is_same_v<T, int>)
                        if (auto* c = qobject_cast<const QComboBox*>(w))
                            value = std::max(0, c->currentIndex());
                    break;
                case K::Tag:
                    if constexpr (std::is_same_v<T, std::string>) value = fromWidgetText(tagOf(w));
                    break;
                case K::Color:
                    if constexpr (std::is_same_v<T, int>) value = w->property(kColorValueProperty).toInt();
                    break;
                case K::Radio:
                    // The group reads as the value of its last selected radio in table order, so
                    // 随机字母 (2) wins over 标题首拼 (1), which wins over 顺序命名 (0).
                    if constexpr (std::is_same_v<T, int>)
                        if (auto* b = qobject_cast<const QAbstractButton*>(w); b && b->isChecked())
                            value = radioValue;
                    break;
            }
        },
        member);
}

}  // namespace

const std::vector<SiteBinding>& siteBindings() {
    static const std::vector<SiteBinding> table = {
        {"编辑框用户", K::Text, &SiteConfig::user},
        {"编辑框密码", K::Text, &SiteConfig::password},
        {"编辑框域名", K::Text, &SiteConfig::domain},
        {"组合框编码", K::Combo, &SiteConfig::charset},
        {"编辑框目录", K::Text, &SiteConfig::adminDir},
        {"选择框https", K::Check, &SiteConfig::https},
        {"编辑框证书公钥", K::Text, &SiteConfig::pinnedPublicKey},
        {"编辑框代理服务器", K::Text, &SiteConfig::proxy},
        {"按钮输入关键词组", K::Tag, &SiteConfig::keywordList},
        {"编辑框关键词数1", K::Integer, &SiteConfig::keywordCountMin},
        {"编辑框关键词数2", K::Integer, &SiteConfig::keywordCountMax},
        {"组合框关键词方式", K::Combo, &SiteConfig::keywordMethod},
        {"按钮输入标签组", K::Tag, &SiteConfig::tagList},
        {"编辑框标签数1", K::Integer, &SiteConfig::tagCountMin},
        {"编辑框标签数2", K::Integer, &SiteConfig::tagCountMax},
        {"组合框标签方式", K::Combo, &SiteConfig::tagMethod},
        {"按钮输入标题组", K::Tag, &SiteConfig::shortTitleList},
        {"编辑框标题数1", K::Integer, &SiteConfig::shortTitleCountMin},
        {"编辑框标题数2", K::Integer, &SiteConfig::shortTitleCountMax},
        {"组合框标题方式", K::Combo, &SiteConfig::shortTitleMethod},
        {"编辑框内容摘要数1", K::Integer, &SiteConfig::summaryLengthMin},
        {"编辑框内容摘要数2", K::Integer, &SiteConfig::summaryLengthMax},
        {"单选框默认地址", K::Radio, &SiteConfig::fileNameRule, 0},
        {"单选框标题首拼", K::Radio, &SiteConfig::fileNameRule, 1},
        {"单选框随机字母", K::Radio, &SiteConfig::fileNameRule, 2},
        {"编辑框字母数1", K::Integer, &SiteConfig::letterCountMin},
        {"编辑框字母数2", K::Integer, &SiteConfig::letterCountMax},
        {"编辑框作者组", K::Text, &SiteConfig::authorList},
        {"编辑框文章来源", K::Text, &SiteConfig::source},
        {"编辑框浏览数1", K::Integer, &SiteConfig::viewCountMin},
        {"编辑框浏览数2", K::Integer, &SiteConfig::viewCountMax},
        {"选择框头条", K::Check, &SiteConfig::flagHeadline},
        {"选择框推荐", K::Check, &SiteConfig::flagRecommended},
        {"选择框幻灯", K::Check, &SiteConfig::flagSlide},
        {"选择框特荐", K::Check, &SiteConfig::flagSpecial},
        {"选择框滚动", K::Check, &SiteConfig::flagScrolling},
        {"选择框加粗", K::Check, &SiteConfig::flagBold},
        {"选择框图片", K::Check, &SiteConfig::flagPicture},
        {"选择框随机属性", K::Check, &SiteConfig::randomFlags},
        {"颜色选择器标题颜色", K::Color, &SiteConfig::titleColor},
        {"选择框生成HTML", K::Check, &SiteConfig::generateHtml},
        {"选择框关闭评论", K::Check, &SiteConfig::closeComments},
        {"选择框下载远程图片和资源", K::Check, &SiteConfig::downloadRemoteImages},
        {"选择框提取第一个图片为缩略图", K::Check, &SiteConfig::firstImageAsThumbnail},
        {"选择框删除非站内链接", K::Check, &SiteConfig::removeForeignLinks},
        {"选择框图片加水印", K::Check, &SiteConfig::watermarkImages},
        {"选择框文章分页", K::Check, &SiteConfig::splitPages},
        {"编辑框分页千字节", K::Integer, &SiteConfig::pageSizeKb},
        {"编辑框文章目录", K::Text, &SiteConfig::articleDir},
        {"组合框文件编码", K::Combo, &SiteConfig::fileEncoding},
        {"编辑框文件过滤", K::Text, &SiteConfig::fileFilter},
        {"编辑框更新数量", K::Integer, &SiteConfig::articleCount},
        {"编辑框更新间隔1", K::Real, &SiteConfig::intervalMin},
        {"编辑框更新间隔2", K::Real, &SiteConfig::intervalMax},
        {"选择框删除已更新文章", K::Check, &SiteConfig::deleteAfterPublish},
        {"选择框首行标题", K::Check, &SiteConfig::firstLineTitle},
        {"选择框段落标签", K::Check, &SiteConfig::paragraphTags},
        {"组合框刷新HTML类型", K::Combo, &SiteConfig::refreshHtmlMode},
        {"选择框随机插入关键词", K::Check, &SiteConfig::bodyKeywordInsert},
        {"按钮输入关键词列表", K::Tag, &SiteConfig::bodyKeywordList},
        {"编辑框插入次数1", K::Integer, &SiteConfig::bodyKeywordTimesMin},
        {"编辑框插入次数2", K::Integer, &SiteConfig::bodyKeywordTimesMax},
        {"选择框每次换词", K::Check, &SiteConfig::bodyKeywordNewEachTime},
        {"选择框尾部插入关键词", K::Check, &SiteConfig::tailKeywordInsert},
        {"按钮输入尾部关键词列表", K::Tag, &SiteConfig::tailKeywordList},
        {"编辑框尾部插入次数1", K::Integer, &SiteConfig::tailKeywordTimesMin},
        {"编辑框尾部插入次数2", K::Integer, &SiteConfig::tailKeywordTimesMax},
        {"选择框尾部每次换词", K::Check, &SiteConfig::tailKeywordNewEachTime},
        {"选择框尾部调用文章块", K::Check, &SiteConfig::tailArticleBlocks},
        {"编辑框尾部分块符", K::Text, &SiteConfig::tailBlockSeparator},
        {"选择框标题插入关键词", K::Check, &SiteConfig::titleKeywordInsert},
        {"按钮输入标题关键词列表", K::Tag, &SiteConfig::titleKeywordList},
        {"编辑框插入概率", K::Integer, &SiteConfig::titleKeywordPercent},
        {"组合框标题插入方式", K::Combo, &SiteConfig::titleKeywordPosition},
        {"编辑框标题插入分隔符", K::Text, &SiteConfig::titleKeywordSeparator},
    };
    return table;
}

const std::vector<OptionBinding>& optionBindings() {
    static const std::vector<OptionBinding> table = {
        {"单选框同步循环", K::Check, &RunOptions::synchronousCycle},
        {"编辑框循环间隔", K::Text, &RunOptions::cycleInterval},
        {"单选框先后独立", K::Check, &RunOptions::independentSites},
        {"编辑框同时站点数", K::Text, &RunOptions::simultaneousSites},
        {"选择框全局更新数量", K::Check, &RunOptions::useGlobalCount},
        {"编辑框全局更新数量", K::Text, &RunOptions::globalCount},
        {"选择框RSS所有栏目", K::Check, &RunOptions::rssAllCategories},
        {"选择框一键更新网站", K::Check, &RunOptions::oneClickUpdate},
        {"选择框刷新子级栏目", K::Check, &RunOptions::refreshChildCategories},
        {"组合框访问方式", K::Combo, &RunOptions::accessMethod},
        {"选择框完成关机", K::Check, &RunOptions::shutdownWhenDone},
        {"选择框失败时重复尝试", K::Check, &RunOptions::retryOnFailure},
        {"选择框按读入顺序发布", K::Check, &RunOptions::publishInReadOrder},
        {"选择框发布后前台检查", K::Check, &RunOptions::liveCheck},
        {"选择框重复发布已发布文件", K::Check, &RunOptions::republishPublished},
    };
    return table;
}

void setNumberValidators(QWidget* window) {
    for (const SiteBinding& b : siteBindings()) {
        if (b.kind != K::Integer && b.kind != K::Real) continue;
        if (auto* box = window->findChild<QLineEdit*>(QString::fromUtf8(b.objectName)))
            setNumberValidator(box, b.kind == K::Real);
    }
}

void showSiteFields(QWidget* window, const SiteConfig& site) {
    for (const SiteBinding& b : siteBindings())
        if (auto* w = window->findChild<QWidget*>(QString::fromUtf8(b.objectName)))
            showValue(w, b.kind, b.member, site, b.radioValue);
}

SiteConfig readSiteFields(const QWidget* window, SiteConfig base) {
    base.fileNameRule = 0;
    for (const SiteBinding& b : siteBindings())
        if (auto* w = window->findChild<const QWidget*>(QString::fromUtf8(b.objectName)))
            readValue(w, b.kind, b.member, base, b.radioValue);
    config::normalizeSite(base);
    return base;
}

void showOptionFields(QWidget* window, const RunOptions& options) {
    for (const OptionBinding& b : optionBindings())
        if (auto* w = window->findChild<QWidget*>(QString::fromUtf8(b.objectName)))
            showValue(w, b.kind, b.member, options, 0);
}

RunOptions readOptionFields(const QWidget* window, RunOptions base) {
    for (const OptionBinding& b : optionBindings())
        if (auto* w = window->findChild<const QWidget*>(QString::fromUtf8(b.objectName)))
            readValue(w, b.kind, b.member, base, 0);
    return base;
}

}  // namespace oz::ui
