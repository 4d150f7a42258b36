#include "ui/help_text.h"

#include <QStringList>

#include "ui/text_dialog.h"

namespace oz::ui {

QString helpText() {
    const QStringList lines{
        QStringLiteral(
            "Orvane·Zentrel：把本地文件夹里的文章（txt、html）通过各网站的dede后台批量发布到多个dedeCMS站点，"
            "并在发布后刷新栏目、RSS与主页等静态页面。"),
        QStringLiteral(
            "每个站点单独设置：域名、账号、编码、后台目录、文章目录、更新数量、间隔时间和各种文章选项。"),
        QString(),
        QStringLiteral("1、使用本软件进行发布的dede网站，请到后台的左侧-系统-验证安全设置-开启系统验证码-"
                       "后台登录，取消打勾。"
                       "也就是免验证码登录的dede网站才能使用本软件进行多网站自动更新。"),
        QStringLiteral("2、栏目：填好域名、用户、密码、目录后点“读取栏目列表”读取站点的栏目树，勾选要发布到的"
                       "栏目（可多选，"
                       "“+”全选、“-”不选、“+ -”反选）；双击或右击栏目可在浏览器中打开该栏目的页面。"),
        QStringLiteral(
            "3、域名填写网站的域名，不带http://，如“www.example.com”，子目录安装的可写作“www.example.com/"
            "cms”；"
            "目录填写后台目录名，默认是“dede”；编码选择网站的编码（UTF-8或GBK），与网站安装时的选择一致。"),
        QStringLiteral("4、文章块：勾选“调用文章块”后，尾部插入的列表改为一行一个文章路径或文件夹路径，这些文"
                       "章按分块符分割为多块，"
                       "更新时随机调用一块插入到文章尾部。"),
        QStringLiteral(
            "5、更新方式：“同步循环更新”先登录并读取所有站点的文章，然后每轮给每个站点各发一篇，每轮之间间隔"
            "设定的秒数；"
            "“先后独立更新”每个站点单独运行，同时最多运行设定数量的站点，一个站点完成后下一个站点开始。"),
        QStringLiteral("6、全局更新数量：勾选后每个站点都按这个数量更新，代替站点自己的更新数量。"
                       "更新数量设置为0时自动更新目录里的全部文章"),
        QStringLiteral("7、站点列表多选：按住Ctlr单击站点时自动打勾；选中起始站点，按住Shift键再选中终止站点"
                       "可打勾区间所有站点"
                       "（默认会清除区间之外的打勾，如果要保留原打勾，可以同时按住Ctrl键）"),
        QStringLiteral(
            "8、刷新选项：“刷新所有栏目RSS”更新全部栏目的RSS文件；“刷新所有栏目HTML”更新全部栏目的列表页，"
            "不勾选只更新发布了文章的栏目；“刷新子级栏目”同时更新这些栏目的子栏目。"),
        QStringLiteral(
            "9、在使用本软件发布文章时，可以在要发布的文章的文件名前面加上[#id#]来单独指定要发布到的栏目id，"
            "如文件名“[#2#]我是谁.txt”，那么要发布的栏目id就是“2”，文章标题就是“我是谁”。"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void showHelpText(QWidget* owner, Dialogs& dialogs) {
    QString text = helpText();
    TextDialogOptions options;
    options.inputMode = false;
    options.wrapLines = true;
    showTextDialog(text, {}, QStringLiteral("疑点说明"), owner, dialogs, options);
}

}  // namespace oz::ui
