#pragma once

#include <optional>
#include <string>
#include <vector>

#include "backend/batch_site_loop.h"

namespace oz::backend {

inline constexpr const char* kRewriteHomePagesCaption = "开始修改";

struct RewriteHomePagesOptions {
    std::optional<std::string> templet;  // 选择框修改主页模板 with 编辑框主页模板 ("default/index.htm")
    std::optional<std::string> position;  // 选择框修改主页位置 with 编辑框主页位置 ("../index.html")
};

// "确定要修改" + 勾选网站 / 当前网站 / 全部网站 + "的主页？"
std::string rewriteHomePagesQuestion(BatchScope scope);

// `rewriteHomePages`: per site the login, then refreshHomePage in its override form (an absent or
// empty override keeps the form's value); 域名 + " 修改成功" when the back end answered
// "成功更新主页HTML", else " 修改失败".
BatchReport rewriteHomePages(const std::vector<BatchTarget>& targets, const RewriteHomePagesOptions& options,
                             const BatchEnvironment& env);

}  // namespace oz::backend
