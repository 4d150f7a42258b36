#include "standin_pages.h"

#include <ctime>

#include "text/markers.h"

namespace oz::testing {

namespace {

std::string head(std::string_view charsetLabel, std::string_view title) {
    std::string page =
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n<head>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    page += charsetLabel;
    page += "\">\r\n<title>";
    page += title;
    page += "</title>\r\n<link href=\"css/base.css\" rel=\"stylesheet\" type=\"text/css\">\r\n</head>\r\n";
    return page;
}

}  // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#039;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string messagePage(std::string_view charsetLabel, std::string_view message, std::string_view gotoUrl,
                        int waitMs) {
    const bool scriptTarget = gotoUrl.starts_with("javascript:");
    std::string page =
        "<html>\r\n<head>\r\n<title>DedeCMS提示信息</title>\r\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    page += charsetLabel;
    page +=
        "\" />\r\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1, maximum-scale=1, "
        "user-scalable=no\">\r\n"
        "<meta name=\"renderer\" content=\"webkit\">\r\n"
        "<meta http-equiv=\"Cache-Control\" content=\"no-siteapp\" /><base target='_self'/>\r\n"
        "<style>div{line-height:160%;}</style></head>\r\n"
        "<body leftmargin='0' topmargin='0' bgcolor='#FFFFFF'>\r\n<center>\r\n<script>\r\n"
        "      var pgo=0;\n      function JumpUrl(){\n        if(pgo==0){ location='";
    page += gotoUrl;
    page +=
        "'; pgo=1; }\n      }\r\n"
        "document.write(\"<br /><div style='width:450px;padding:0px;border:1px solid #DADADA;'><div "
        "style='padding:6px;font-size:12px;border-bottom:1px solid #DADADA;background:#DBEEBD "
        "url(/plus/img/wbg.gif)';'><b>DedeCMS 提示信息！</b></div>\");\r\n"
        "document.write(\"<div style='height:130px;font-size:10pt;background:#ffffff'><br />\");\r\n"
        "document.write(\"";
    page += message;
    page += "\");\r\n";
    if (scriptTarget) {
        page += "document.write(\"<br/></div>\");\r\n";
    } else {
        page += "document.write(\"<br /><a href='";
        page += gotoUrl;
        page += "'>如果你的浏览器没反应，请点击这里...</a><br/></div>\");\r\nsetTimeout('JumpUrl()',";
        page += std::to_string(waitMs);
        page += ");";
    }
    page += "</script>\r\n</center>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string dedeBizMessagePage(std::string_view /*charsetLabel*/, std::string_view message,
                               std::string_view gotoUrl, int waitMs) {
    // The back end's ShowMsg writes the message inside a script string: its quotes come full-width.
    const std::string shown = text::replaceAll(message, "\"", "“");
    std::string page =
        "<!DOCTYPE html><html><head><meta charset='utf-8'><meta http-equiv='X-UA-Compatible' "
        "content='IE=Edge,chrome=1'><meta name='viewport' content='width=device-width,initial-scale=1'>"
        "<title>系统提示</title><link rel='stylesheet' href='/static/web/css/bootstrap.min.css'><link "
        "rel='stylesheet' href='/static/web/css/admin.css'></head><base target='_self'><body "
        "class='body-bg'><script>var pgo=0;function JumpUrl(){if (pgo==0) {location='";
    page += gotoUrl;
    page +=
        "'; pgo=1;}}document.write(\"<div class='tips'><div class='tips-box'><div "
        "class='tips-head'><p>系统提示</p></div>\");document.write(\"<div class='tips-body'>\");"
        "document.write(\"";
    page += shown;
    page += "\");document.write(\"";
    if (gotoUrl != "javascript:;" && !gotoUrl.empty()) {
        page += "<div class='text-center mt-3'><a href='";
        page += gotoUrl;
        page += "' class='btn btn-success btn-sm'>点击反应</a></div>\");setTimeout('JumpUrl()', ";
        page += std::to_string(waitMs);
        page += ");";
    } else {
        page += "</div>\");";
    }
    page += "</script></body></html>";
    return page;
}

std::string movedPermanentlyPage(std::string_view location) {
    std::string page =
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head>\n"
        "<title>301 Moved Permanently</title>\n</head><body>\n<h1>Moved Permanently</h1>\n"
        "<p>The document has moved <a href=\"";
    page += location;
    page += "\">here</a>.</p>\n</body></html>\n";
    return page;
}

std::string loginFormPage(std::string_view charsetLabel, std::string_view gotoPage,
                          std::string_view captchaImage) {
    std::string page = head(charsetLabel, "织梦内容管理系统 V57_UTF8_SP2");
    page +=
        "<script type=\"text/javascript\">\r\nfunction changeAuthCode() {\r\n\tvar num = new "
        "Date().getTime();\r\n\tif ($(\"#vdimgck\")[0]) {\r\n\t\t$(\"#vdimgck\")[0].src = \"";
    page += captchaImage;
    page += "?tag=\" + num;\r\n\t}\r\n}\r\n</script>\r\n";
    page +=
        "<body>\r\n<div id=\"login-box\">\r\n   <div class=\"login-main\">\r\n"
        "    <form name=\"form1\" method=\"post\" action=\"login.php\">\r\n"
        "      <input type=\"hidden\" name=\"gotopage\" value=\"";
    page += htmlEscape(gotoPage);
    page +=
        "\" />\r\n      <input type=\"hidden\" name=\"dopost\" value=\"login\" />\r\n"
        "      <input name='adminstyle' type='hidden' value='newdedecms' />\r\n      <dl>\r\n"
        "\t   <dt>用户名：</dt>\r\n\t   <dd><input type=\"text\" name=\"userid\"/></dd>\r\n"
        "\t   <dt>密&emsp;码：</dt>\r\n\t   <dd><input type=\"password\" class=\"alltxt\" "
        "name=\"pwd\"/></dd>\r\n"
        "\t\t<dd><button type=\"submit\" name=\"sm1\" class=\"login-btn\">登录</button></dd>\r\n"
        "\t </dl>\r\n\t</form>\r\n   </div>\r\n</div>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string dedeBizLoginPage(std::string_view /*charsetLabel*/, std::string_view gotoPage,
                             std::string_view captchaImage) {
    std::string page =
        "<!DOCTYPE html>\n<html>\n\t<head>\n\t\t<meta "
        "charset=\"utf-8\">\n\t\t<title>我的网站后台登录</title>\n"
        "\t\t<script src=\"../static/web/js/login.js\"></script>\n\t</head>\n\t<body>\n"
        "\t\t<img src=\"../static/web/img/logo.png\" title=\"DedeV6\" class=\"logo\">\n"
        "\t\t<form name=\"form1\" method=\"post\" action=\"login.php\">\n"
        "\t\t\t<input type=\"hidden\" name=\"gotopage\" value=\"";
    page += htmlEscape(gotoPage);
    page +=
        "\">\n\t\t\t<input type=\"hidden\" name=\"dopost\" value=\"login\">\n"
        "\t\t\t<input type=\"hidden\" name=\"adminstyle\" value=\"newDedeBIZ\">\n"
        "\t\t\t<input type=\"text\" name=\"userid\" id=\"iptUserid\" class=\"form-control\">\n"
        "\t\t\t<input type=\"password\" name=\"pwd\" id=\"iptPwd\" class=\"form-control\">\n"
        "\t\t\t<div id=\"vdimgck\" class=\"form-group\" style=\"display:none\">\n"
        "\t\t\t\t<input type=\"text\" name=\"validate\" id=\"iptValidate\" class=\"form-control\">\n"
        "\t\t\t\t<img src=\"";
    page += captchaImage;
    page += "\" onclick=\"this.src='";
    page += captchaImage;
    page +=
        "?'+new Date().getTime()\" title=\"验证码\" id=\"validateimg\">\n\t\t\t</div>\n"
        "\t\t\t<div><button type=\"submit\" class=\"btn btn-success btn-md btn-block\">登录</button></div>\n"
        "\t\t</form>\n\t\t<p>Copyright © 2023 DedeBIZ 版权所有</p>\n\t</body>\n</html>";
    return page;
}

std::string adminIndexPage(std::string_view charsetLabel) {
    std::string page = head(charsetLabel, "织梦内容管理系统 V57_UTF8_SP2");
    page +=
        "<body>\r\n<div id=\"main\"><a href=\"article_add.php?channelid=1\">发布文章</a> "
        "<a href=\"makehtml_all.php\">一键更新网站</a></div>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string articleFormPage(std::string_view charsetLabel, const std::vector<CategoryOption>& options,
                            CategoryIndent indent) {
    std::string page = head(charsetLabel, "增加文章");
    page +=
        "<body>\r\n"
        "<form name=\"form1\" action=\"article_add.php\" enctype=\"multipart/form-data\" method=\"post\" "
        "onSubmit=\"return checkSubmit()\">\r\n"
        "  <input type=\"hidden\" name=\"channelid\" value=\"1\" />\r\n"
        "  <input type=\"hidden\" name=\"dopost\" value=\"save\" />\r\n"
        "  <table width=\"98%\"  border=\"0\" align=\"center\" cellpadding=\"2\" cellspacing=\"2\" "
        "id=\"needset\">\r\n"
        "    <tr>\r\n            <td width=\"90\">&nbsp;文章标题：</td>\r\n"
        "            <td width='408'><input name=\"title\" type=\"text\" id=\"title\" value=\"\" "
        "style=\"width:388px\" /></td>\r\n"
        "            <td width=\"90\">&nbsp;简略标题：</td>\r\n"
        "            <td><input name=\"shorttitle\" type=\"text\" id=\"shorttitle\" style=\"width:150px\" "
        "/></td>\r\n"
        "    </tr>\r\n    <tr>\r\n          <td width=\"90\">&nbsp;文章主栏目：</td>\r\n          <td>\r\n"
        "       <span id='typeidct'>\r\n"
        "       <select name='typeid' id='typeid' style='width:240px'>\r\n"
        "<option value='0'>请选择栏目...</option>\r\n";
    for (const CategoryOption& option : options) {
        page += "<option value='" + std::to_string(option.id) + "' class='option3'>";
        if (option.depth > 0) page += indent.branch;
        for (int level = 0; level < option.depth; ++level) page += "─";
        if (option.depth > 0) page += indent.gap;
        page += option.name;  // as stored, unescaped, as the real back end writes it
        page += "</option>\r\n";
    }
    page +=
        "</select></span>\r\n          </td>\r\n    </tr>\r\n    <tr>\r\n"
        "          <td width=\"90\">&nbsp;关键字：</td>\r\n"
        "          <td><input type='text' name=\"keywords\" id=\"keywords\" style=\"width:80%\" value=\"\" "
        "/></td>\r\n"
        "    </tr>\r\n    <tr>\r\n"
        "          <td><textarea name=\"body\" id=\"body\" style=\"width:100%; "
        "height:450px\"></textarea></td>\r\n"
        "    </tr>\r\n  </table>\r\n"
        "<input name=\"imageField\" type=\"image\" src=\"images/button_save.gif\" width=\"60\" height=\"22\" "
        "class=\"np\" border=\"0\" />\r\n</form>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string articleSavedPage(std::string_view charsetLabel, const SavedArticleLinks& links) {
    const std::string id = std::to_string(links.id);
    const std::string typeId = std::to_string(links.typeId);
    std::string page = "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=";
    page += charsetLabel;
    page +=
        "\">\r\n<title>成功发布文章！</title>\r\n"
        "<link rel=\"stylesheet\" type=\"text/css\" href=\"/plus/img/base.css\">\r\n</head>\r\n"
        "<body background='/plus/img/allbg.gif' leftmargin=\"8\" topmargin='8'>\r\n"
        "<table width=\"98%\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" "
        "bgcolor=\"#DFF9AA\">\r\n  <tr> \r\n    <td height=\"28\" style=\"border:1px solid #DADADA\" "
        "background='/plus/img/wbg.gif'>\r\n\t\t&nbsp;<b>◇文章管理::发布文章</b>\r\n\t</td>\r\n  </tr>\r\n"
        "  <tr> \r\n    <td width=\"100%\" height=\"80\" style=\"padding-top:5px\" bgcolor='#ffffff'>\r\n"
        "\t<table width='100%'  border='0' cellpadding='3' cellspacing='1' bgcolor='#DADADA'>\r\n"
        "<tr bgcolor='#DADADA'>\r\n<td colspan='2' background='/plus/img/wbg.gif' height='26'><font "
        "color='#666600'><b>成功发布文章：</b></font></td>\r\n</tr>\r\n<tr bgcolor='#FFFFFF'>\r\n"
        "<td colspan='2'  height='100'> <div style=\"line-height:36px;height:36px\">    "
        "　　请选择你的后续操作：\r\n"
        "    <a href='article_add.php?cid=" +
        typeId + "'><u>继续发布文章</u></a>\r\n    &nbsp;&nbsp;\r\n    <a href='" + links.url +
        "' target='_blank'><u>查看文章</u></a>\r\n    &nbsp;&nbsp;\r\n"
        "    <a href='archives_do.php?aid=" +
        id +
        "&dopost=editArchives'><u>更改文章</u></a>\r\n    &nbsp;&nbsp;\r\n"
        "    <a href='catalog_do.php?cid=" +
        typeId + "&dopost=listArchives'><u>已发布文章管理</u></a>\r\n    &nbsp;&nbsp;\r\n    \r\n  </div>";
    if (links.progressFrame || links.tagFrames > 0) {
        page +=
            "<table width='80%' style='border:1px dashed #cdcdcd;margin-left:20px;margin-bottom:15px' "
            "id='tgtable' align='left'><tr><td bgcolor='#EBF5C9'>&nbsp;<strong>"
            "正在进行相关内容更新，请完成前不要进行其它操作：</strong>\r\n</td></tr>\r\n";
        if (links.progressFrame) {
            page +=
                "<tr><td>\r\n<iframe name='stafrm' frameborder='0' id='stafrm' width='100%' height='200px' "
                "src='task_do.php?typeid=" +
                typeId + "&aid=" + id + "&dopost=makeprenext&nextdo='></iframe>\r\n</td></tr>\r\n";
        }
        for (int tag = 1; tag <= links.tagFrames; ++tag) {
            page +=
                "<tr><td>\r\n<iframe name='stafrm' frameborder='0' id='stafrm' width='100%' height='40px' "
                "src='task_do.php?aid=" +
                id + "&dopost=maketag&tagno=" + std::to_string(tag) + "'></iframe>\r\n</td></tr>\r\n";
        }
        page += "</table>";
    }
    page +=
        " </td>\r\n</tr>\r\n<tr><td bgcolor='#F5F5F5'>&nbsp;</td></tr></table>\r\n\r\n    </td>\r\n  "
        "</tr>\r\n"
        "</table>\r\n<p align=\"center\">\r\n\r\n<br>\r\n<br>\r\n</p>\r\n</body>\r\n\r\n</html>";
    return page;
}

std::string dedeBizArticleSavedPage(std::string_view /*charsetLabel*/, const SavedArticleLinks& links) {
    const std::string id = std::to_string(links.id);
    const std::string typeId = std::to_string(links.typeId);
    std::string page =
        "<!DOCTYPE html>\n<html>\n\t<head>\n\t\t<meta charset=\"utf-8\">\n\t\t<title>成功发布文档</title>\n"
        "\t</head>\n\t<body>\n\t\t<table align=\"center\" class=\"table maintable my-3\">\n\t\t\t<tr>\n"
        "\t\t\t\t<td bgcolor=\"#f5f5f5\">文档管理 - 发布文档</td>\n\t\t\t</tr>\n\t\t\t<tr>\n"
        "\t\t\t\t<td class=\"p-0\"><table width='100%'><tr><td colspan='2'>成功发布文档</td></tr><tr>\n"
        "        <td bgcolor='#f5f5f5' align='center'><a href='" +
        links.url +
        "' target='_blank' class='btn btn-success btn-sm'>浏览文档</a><a href='article_add.php?cid=" +
        typeId + "' class='btn btn-success btn-sm'>发布文档</a><a href='archives_do.php?aid=" + id +
        "&dopost=editArchives' class='btn btn-success btn-sm'>修改文档</a><a href='catalog_do.php?cid=" +
        typeId + "&dopost=listArchives' class='btn btn-success btn-sm'>管理文档</a></td>\n    </tr>";
    if (links.progressFrame) {
        page +=
            "<table id='tgtable' class='maintable my-3'><tr><td bgcolor='#f8f8f8'>"
            "正在进行相关文档更新，未完成前不要执行其它操作：\r\n</td></tr>\r\n<tr><td>\r\n"
            "<iframe name='stafrm' id='stafrm' frameborder='0' width='100%' height='360px' "
            "src='task_do.php?typeid=" +
            typeId + "&aid=" + id + "&dopost=makeprenext&nextdo='></iframe>\r\n</td></tr>\r\n</table>";
    }
    page += "</table></form></td>\n\t\t\t</tr>\n\t\t</table>\n\t</body>\n</html>";
    return page;
}

std::string homePageForm(std::string_view charsetLabel, std::string_view templet, std::string_view position) {
    std::string page = head(charsetLabel, "主页更新向导");
    page +=
        "<body background=\"images/allbg.gif\" leftmargin=\"8\" topmargin=\"8\">\r\n"
        "<table width=\"98%\" border=\"0\" cellpadding=\"3\" cellspacing=\"1\" bgcolor=\"#D6D6D6\" "
        "align=\"center\">\r\n"
        "  <form name=\"form1\" action=\"makehtml_homepage.php\" target=\"stafrm\" method=\"post\">\r\n"
        "  <input type=\"hidden\" name=\"dopost\" value=\"make\">\r\n"
        "    <tr> \r\n      <td width=\"177\" valign=\"top\" bgcolor=\"#FFFFFF\">选择主页模板：</td>\r\n"
        "      <td width=\"791\" valign=\"top\" bgcolor=\"#FFFFFF\">\r\n"
        "\t    <input name=\"templet\" type=\"text\" id=\"templet\" style=\"width:300\" value=\"";
    page += htmlEscape(templet);
    page +=
        "\"> \r\n      </td>\r\n    </tr>\r\n"
        "    <tr> \r\n      <td height=\"20\" valign=\"top\" bgcolor=\"#FFFFFF\">主页位置：</td>\r\n"
        "      <td height=\"20\" valign=\"top\" bgcolor=\"#FFFFFF\"><input name=\"position\" type=\"text\" "
        "id=\"position\" value=\"";
    page += htmlEscape(position);
    page +=
        "\" size=\"30\"> \r\n      </td>\r\n    </tr>\r\n"
        "<tr> \r\n      <td height=\"20\" valign=\"top\" bgcolor=\"#FFFFFF\">相关选项：</td>\r\n"
        "      <td height=\"20\" valign=\"top\" bgcolor=\"#FFFFFF\">\r\n"
        "\t  <input name=\"saveset\" type=\"radio\" value=\"0\" class=\"np\">\r\n       不保存当前选项 \r\n"
        "      <input name=\"saveset\" type=\"radio\" class=\"np\" value=\"1\" checked>\r\n      "
        "保存当前选项\r\n"
        "\t</td>\r\n    </tr>\r\n"
        "    <tr> \r\n      <td height=\"31\" colspan=\"2\" bgcolor=\"#ffffff\" "
        "align=\"center\">&nbsp;&nbsp;\r\n"
        "      <input type=\"submit\" class='coolbg np' name=\"Submit\" value=\"更新主页HTML\" />\r\n"
        "</td>\r\n    </tr>\r\n  </form>\r\n"
        "  <tr bgcolor=\"#FFFFFF\"> \r\n    <td colspan=\"2\" id=\"mtd\">\r\n"
        "        <iframe name=\"stafrm\" frameborder=\"0\" id=\"stafrm\" width=\"100%\" "
        "height=\"100%\"></iframe>\r\n"
        "\t  </td>\r\n  </tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string mapPageForm(std::string_view charsetLabel, std::string_view title, std::string_view templet,
                        std::string_view position) {
    std::string page = head(charsetLabel, title);
    page +=
        "<body>\r\n<form name=\"form1\" action=\"makehtml_homepage.php\" method=\"post\">\r\n"
        "  <input type=\"hidden\" name=\"dopost\" value=\"make\">\r\n"
        "  模板：<input type=\"text\" id=\"templet\" value=\"";
    page += htmlEscape(templet);
    page += "\">\r\n  位置：<input type=\"text\" id=\"position\" value=\"";
    page += htmlEscape(position);
    page += "\">\r\n</form>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string catalogEditPage(std::string_view charsetLabel, int id, int topId, std::string_view name,
                            std::string_view typeDir) {
    std::string page = head(charsetLabel, "栏目管理");
    page +=
        "<body>\r\n<table width=\"98%\" border=\"0\" align=\"center\" cellpadding=\"0\" "
        "cellspacing=\"0\">\r\n"
        "  <tr>\r\n"
        "  <form name=\"form1\" action=\"catalog_edit.php\" method=\"post\" onSubmit=\"return "
        "checkSubmit();\">\r\n"
        "  <input type=\"hidden\" name=\"dopost\" value=\"save\" />\r\n"
        "  <input type=\"hidden\" name=\"id\" value=\"" +
        std::to_string(id) + "\" />\r\n  <input type=\"hidden\" name=\"topid\" value=\"" +
        std::to_string(topId) +
        "\" />\r\n  <td height=\"95\" align=\"center\" bgcolor=\"#FFFFFF\">\r\n"
        "    <table width=\"100%\" border=\"0\" cellspacing=\"0\" id=\"head1\" cellpadding=\"0\">\r\n"
        "          <tr> \r\n"
        "            <td class='bline' height=\"26\" style=\"padding-left:10px;\"><font "
        "color='red'>栏目名称："
        "</font></td>\r\n"
        "            <td class='bline'><input name=\"typename\" type=\"text\" id=\"typename\" size=\"30\" "
        "value=\"";
    page += htmlEscape(name);
    page +=
        "\" class=\"iptxt\" /></td>\r\n          </tr>\r\n          <tr> \r\n"
        "            <td class='bline' height=\"26\" style=\"padding-left:10px;\">文件保存目录：</td>\r\n"
        "            <td class='bline'> <input name=\"typedir\" type=\"text\" id=\"typedir\" value=\"";
    page += htmlEscape(typeDir);
    page +=
        "\" style=\"width:300px\"  class=\"iptxt\" /> \r\n            </td>\r\n          </tr>\r\n"
        "    </table>\r\n  </td>\r\n  </form>\r\n  </tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string visitorPageHtml(std::string_view charsetLabel, std::string_view title, std::string_view content) {
    std::string page = head(charsetLabel, htmlEscape(title));
    page += "<body>\r\n<h2>";
    page += htmlEscape(title);
    page += "</h2>\r\n";
    page += content;
    page += "</body>\r\n</html>\r\n";
    return page;
}

std::string articleViewPage(std::string_view charsetLabel, std::string_view title, std::string_view body) {
    std::string page = head(charsetLabel, htmlEscape(title));
    page += "<body>\r\n<h1>";
    page += htmlEscape(title);
    page += "</h1>\r\n<div class=\"content\">";
    page += body;
    page += "</div>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string dedeBizContentListPage(std::string_view /*charsetLabel*/, std::string_view keyword,
                                   const std::vector<ListedRow>& rows) {
    std::string page =
        "<!DOCTYPE html>\n<html>\n\t<head>\n\t\t<meta "
        "charset=\"utf-8\">\n\t\t<title>所有文档列表</title>\n"
        "\t</head>\n\t<body>\n\t\t<form name=\"form3\" action=\"content_list.php\" method=\"get\">\n"
        "\t\t\t<input type=\"hidden\" name=\"dopost\" value=\"listArchives\">\n"
        "\t\t\t<input type=\"text\" name=\"keyword\" class=\"admin-input-lg mr-3\" value=\"" +
        htmlEscape(keyword) +
        "\" placeholder=\"请输入文档标题或文档id\">\n\t\t</form>\n"
        "\t\t<form name=\"form2\">\n\t\t\t<table align=\"center\" class=\"table maintable "
        "mb-3\">\n";
    for (const ListedRow& row : rows) {
        const std::string id = std::to_string(row.id);
        page +=
            "\t\t\t\t<tr align=\"center\">\n\t\t\t\t\t<td><input type=\"checkbox\" name=\"arcID\" "
            "id=\"arcID\" value=\"" +
            id + "\"></td>\n\t\t\t\t\t<td>" + id + "</td>\n\t\t\t\t\t<td align=\"left\"><span id=\"arc" + id +
            "\"><a href=\"archives_do.php?aid=" + id + "&dopost=editArchives\">" + row.title +
            "</a></span></td>\n\t\t\t\t\t<td>" + row.date +
            "</td>\n\t\t\t\t\t<td><a href=\"content_list.php?cid=" + std::to_string(row.typeId) + "\">" +
            htmlEscape(row.typeName) + "</a></td>\n\t\t\t\t\t<td>" + htmlEscape(row.user) +
            "</td>\n\t\t\t\t\t<td><a href=\"javascript:;\" class=\"btn btn-light btn-sm\" "
            "onclick=\"editArc(" +
            id + ");\"><i class=\"fa fa-pencil-square\"></i> 修改</a></td>\n\t\t\t\t</tr>\n";
    }
    if (rows.empty()) page += "\t\t\t\t<tr><td colspan=\"10\" align=\"center\">暂无记录</td></tr>\n";
    page += "\t\t\t</table>\n\t\t</form>\n\t</body>\n</html>";
    return page;
}

std::string contentListPage(std::string_view charsetLabel, std::string_view keyword,
                            const std::vector<ListedRow>& rows) {
    std::string page = head(charsetLabel, "文档管理");
    page +=
        "<body leftmargin=\"8\" topmargin=\"8\" background='images/allbg.gif'>\r\n"
        "<form name='form3' action='content_list.php' method='get'>\r\n"
        "<input type='hidden' name='channelid' value='1' />\r\n"
        "关键字：<input type='text' name='keyword' value='" +
        htmlEscape(keyword) +
        "' style='width:150px' />\r\n"
        "<input name=\"imageField\" type=\"image\" src=\"images/button_search.gif\" class=\"np\" />\r\n"
        "</form>\r\n"
        "<table width=\"98%\" border=\"0\" cellpadding=\"2\" cellspacing=\"1\" bgcolor=\"#CFCFCF\" "
        "align=\"center\">\r\n"
        "<tr align=\"center\" bgcolor=\"#FBFCE2\" height=\"25\">\r\n<td width=\"6%\">ID</td>\r\n"
        "<td width=\"4%\">选择</td>\r\n<td width=\"28%\">文章标题</td>\r\n<td width=\"10%\">更新时间</td>\r\n"
        "<td width=\"10%\">类目</td>\r\n<td width=\"8%\">点击</td>\r\n<td width=\"8%\">发布人</td>\r\n"
        "<td width=\"10%\">操作</td>\r\n</tr>\r\n";
    for (const ListedRow& row : rows) {
        const std::string id = std::to_string(row.id);
        page +=
            "<tr align='center' bgcolor=\"#FFFFFF\" height=\"26\" "
            "onMouseMove=\"javascript:this.bgColor='#FCFDEE';\" "
            "onMouseOut=\"javascript:this.bgColor='#FFFFFF';\">\r\n"
            "\t<td nowrap>\r\n\t\t" +
            id + "\t</td>\r\n\t<td>\r\n\t\t<input name=\"arcID\" type=\"checkbox\" id=\"arcID\" value=\"" +
            id + "\" class=\"np\" />\r\n\t</td>\r\n\t<td align='left'>\r\n\t\t<span id=\"arc" + id +
            "\">\r\n\t\t\t<a href='archives_do.php?aid=" + id + "&dopost=editArchives'>\r\n\t\t\t\t<u>" +
            row.title + "</u>\r\n\t\t\t</a>\r\n\t\t</span>\r\n\t</td>\r\n\t<td>" + row.date +
            "</td>\r\n\t<td><a href='content_list.php?cid=" + std::to_string(row.typeId) + "'>" +
            htmlEscape(row.typeName) + "</a></td>\r\n\t<td>0</td>\r\n\t<td>" + htmlEscape(row.user) +
            "</td>\r\n\t<td>\r\n\t\t<img src='./skin/images/frame/part-list.gif' title=\"预览\" alt=\"预览\" "
            "onClick=\"viewArc(" +
            id + ");\" style='cursor:pointer' border='0' width='16' height='16' />\r\n\t</td>\r\n</tr>\r\n";
    }
    page += "</table>\r\n</body>\r\n</html>\r\n";
    return page;
}

std::string viewArchivesScript(std::string_view url) {
    return "<script language='javascript'>location.href='" + std::string(url) + "?" +
           std::to_string(std::time(nullptr)) + "';</script>";
}

}  // namespace oz::testing
