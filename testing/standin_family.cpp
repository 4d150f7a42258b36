#include "testing/standin_family.h"

namespace oz::testing {

namespace {

constexpr std::array<std::string_view, 3> kDedeCmsExtensions{"jpg", "gif", "png"};
constexpr std::array<std::string_view, 6> kDedeBizExtensions{"jpeg", "jpg", "gif", "png", "webp", "bmp"};
constexpr std::array<std::string_view, 6> kPictureTypes{"image/pjpeg", "image/jpeg", "image/gif",
                                                        "image/png",   "image/xpng", "image/wbmp"};

// DedeCMS 5.7 (SP2 and 5.7.88, which the stand-in's uploads follow).
constexpr StandinFamily kDedeCms57{
    .name = "DedeCMS 5.7",
    .version = "20210806",
    .captchaImage = "include/vdimgck.php",
    .messagePage = messagePage,
    .loginPage = loginFormPage,
    .articleSavedPage = articleSavedPage,
    .articleListPage = contentListPage,
    .categoryIndent = {"", ""},
    .loginDone = "成功登录，正在转向管理管理主页！",
    .unknownUser = "你的用户名不存在!",
    .wrongPassword = "你的密码错误!",
    .captchaRefused = "验证码不正确!",
    .captchaAfterWrongPasswords = 0,
    .wrongChannel = "文档为非指定的类型，请检查你发布内容的表单是否合法！",
    .noCategory = "请指定文档的栏目！",
    .unknownCategory = "你所选择的栏目与当前模型不相符，请选择白色的选项！",
    .unknownCategoryFails = false,
    .openAddFormFirst = false,
    .articleLink = "<u>查看文章</u>",
    .articleLinkReworded = "<u>浏览文章</u>",
    .titleColumnChars = 60,
    .titleColumnFixed = true,
    .listDropped = ',',
    .neighboursDone = "<b>完成上下篇文档更新任务！完成所有更新任务！</b>",
    .tasksDone = "<b>完成所有更新任务！</b>",
    .listStepWhole = "成功创建栏目：{id}，继续进行操作！",
    .listStepChunk = "栏目：{id}，继续进行操作...",
    .listEmptyDone = "完成所有列表更新！",
    .listDone = "完成所有栏目列表更新！",
    .listDoneLink = "<a href='{dir}/index.html' target='_blank'>浏览栏目</a>",
    .listDoneForAll = "完成所有栏目列表更新，现在作最后数据优化！",
    .rssPages = true,
    .mapPages = true,
    .allStart = "完成数据优化，现在开始更新文档！",
    .allSteps = {"完成文档HTML更新任务，现在开始进行主页更新...", "完成更新所有文档，现在开始更新栏目页！",
                 "不需要进行初处理，现更新所有栏目！"},
    .allDone = "完成所有文件的更新！",
    .homePageMade =
        "成功更新主页HTML：/var/www/site{site}/{admin}/{position}<br /><a href='{position}' "
        "target='_blank'>浏览...</a><br />",
    .homePageMadeBare = true,
    .categoryCreated = "成功创建一个分类！",
    .categoryDeleted = "成功删除一个栏目！",
    .categoryDeletion = CategoryDeletion::WithDescendants,
    .categoryUnknown = "栏目不存在！",
    .categoryEditFailsOnUnknown = false,
    .idSeparator = '`',
    .deletionStopsAtMissingId = false,
    .articlesDeleted = "成功删除指定的文档！",
    .uploadUnderInclude = true,
    .uploadFilter = UploadFilter::RemakesPictures,
    .pictureExtensions = kDedeCmsExtensions,
    .extensionsIgnoreCase = false,
    .pictureTypes = kPictureTypes,
    .pictureTypeAsSent = "",
    .uploadFolder = "/uploads/allimg/",
    .uploadRefusal = UploadRefusal::MessagePage,
    .editorUploadAnswer = EditorUploadAnswer::Script,
    .pictureMissing = "你没有选择上传的文件!",
    .extensionRefused = "你所上传的图片类型不在许可列表，请更改系统对扩展名限定的配置！",
    .typeRefused = "上传的图片格式错误，请使用JPEG、GIF、PNG、WBMP格式的其中一种！",
    .notMedia = "",
    .pictureUploaded = "成功上传一幅图片！",
    .watermarkField = "needwatermarkup",
    .watermarkWhenAbsent = false,
    .editorUploadsUnmarked = true,
};

// DedeCMS 5.8.1 beta: 5.7's pages with its own verification image, id separator and uploads.
constexpr StandinFamily kDedeCms58 = [] {
    StandinFamily family = kDedeCms57;
    family.name = "DedeCMS 5.8.1 beta";
    family.version = "20210201";
    family.captchaImage = "plus/vdimgck.php";
    family.idSeparator = ',';
    family.uploadUnderInclude = false;
    family.uploadFilter = UploadFilter::None;
    family.extensionsIgnoreCase = true;
    family.editorUploadAnswer = EditorUploadAnswer::Json;
    family.extensionRefused = "你所上传的图片类型不在许可列表，请修改系统对扩展名限定的配置！";
    family.watermarkField = "needwatermark";
    family.watermarkWhenAbsent = true;
    family.editorUploadsUnmarked = false;
    return family;
}();

// DedeBIZ 6.2.10 on PHP 8.2.
constexpr StandinFamily kDedeBiz6{
    .name = "DedeBIZ 6.2.10",
    .version = "20230630",
    .captchaImage = "apps/vdimgck.php",
    .messagePage = dedeBizMessagePage,
    .loginPage = dedeBizLoginPage,
    .articleSavedPage = dedeBizArticleSavedPage,
    .articleListPage = dedeBizContentListPage,
    .categoryIndent = {"└", " "},
    .loginDone = "正在登录后台管理，请稍等",
    .unknownUser = "管理员账号错误",
    .wrongPassword = "管理员密码错误",
    .captchaRefused = "验证码不正确",
    .captchaAfterWrongPasswords = 3,
    .wrongChannel = "文档为非指定类型，请检查您发布文档是否正确",
    .noCategory = "请选择文档栏目",
    .unknownCategory = "",
    .unknownCategoryFails = true,
    .openAddFormFirst = true,
    .articleLink = ">浏览文档</a>",
    .articleLinkReworded = ">浏览文章</a>",
    .titleColumnChars = 255,
    .titleColumnFixed = false,
    .listDropped = '|',
    .neighboursDone = "完成所有上下篇文档更新任务",
    .tasksDone = "完成所有更新任务",
    .listStepWhole = "更新{name}栏目[id：{id}]，继续更新栏目",
    .listStepChunk = "更新{name}栏目[id：{id}]，继续更新栏目",
    .listEmptyDone = "完成所有栏目更新",
    .listDone = "完成所有栏目更新",
    .listDoneLink = "，<a href='{dir}/index.html' target='_blank'>点击浏览</a>",
    .listDoneForAll = "完成所有栏目更新，数据已优化",
    .rssPages = false,
    .mapPages = false,
    .allStart = "完成数据优化，开始更新文档",
    .allSteps = {"完成所有文档更新，开始更新首页", "完成所有文档更新，开始更新所有栏目",
                 "不需要进行初处理，开始更新所有栏目"},
    .allDone = "完成所有栏目文档更新",
    .homePageMade = "更新静态首页，<a href='{position}' target='_blank'>点击浏览</a>",
    .homePageMadeBare = false,
    .categoryCreated = "成功创建一个栏目",
    .categoryDeleted = "",
    .categoryDeletion = CategoryDeletion::AloneThenFails,
    .categoryUnknown = "",
    .categoryEditFailsOnUnknown = true,
    .idSeparator = '`',
    .deletionStopsAtMissingId = true,
    .articlesDeleted = "成功删除指定文档",
    .uploadUnderInclude = false,
    .uploadFilter = UploadFilter::MediaOnly,
    .pictureExtensions = kDedeBizExtensions,
    .extensionsIgnoreCase = true,
    .pictureTypes = kPictureTypes,
    .pictureTypeAsSent = "image/webp",
    .uploadFolder = "/static/allimg/",
    .uploadRefusal = UploadRefusal::Json,
    .editorUploadAnswer = EditorUploadAnswer::Json,
    .pictureMissing = "您没有选择上传文件",
    .extensionRefused = "您上传的图片类型错误，请修改系统对扩展名配置",
    .typeRefused = "您上传的图片格式错误，请使用jpg、png、gif、wbmp格式其中一种",
    .notMedia = "仅支持媒体文件及应用程序上传",
    .pictureUploaded = "成功上传一张图片",
    .watermarkField = "needwatermark",
    .watermarkWhenAbsent = true,
    .editorUploadsUnmarked = false,
};

}  // namespace

const StandinFamily& standinFamily(StandinRelease release) {
    switch (release) {
        case StandinRelease::DedeCms58:
            return kDedeCms58;
        case StandinRelease::DedeBiz6:
            return kDedeBiz6;
        case StandinRelease::DedeCms57:
            break;
    }
    return kDedeCms57;
}

std::string filledIn(std::string_view pattern,
                     std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
    std::string text;
    std::size_t at = 0;
    while (at < pattern.size()) {
        bool replaced = false;
        if (pattern[at] == '{') {
            for (const auto& [name, value] : values) {
                if (pattern.substr(at).starts_with(name)) {
                    text += value;
                    at += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) text += pattern[at++];
    }
    return text;
}

}  // namespace oz::testing
