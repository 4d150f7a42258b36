// The stand-in's actions that write the static pages: the success page's frames (task_do.php),
// the list pages, the RSS files, the update-everything chain, the home page and the site maps.
// The chains among them link each step to the next as the real ones do.

#include <algorithm>

#include "testing/standin_site.h"
#include "testing/standin_site_common.h"

namespace oz::testing {

SiteAnswer SiteBackEnd::taskDo(Context& context) {
    if (m_faults.endlessChain) {
        const int round = context.fields.getInt("round") + 1;
        std::string next = "task_do.php?" + context.request.query;
        const std::size_t roundAt = next.find("&round=");
        if (roundAt != std::string::npos) next.erase(roundAt);
        return message("正在更新相关内容，继续进行操作！", next + "&round=" + std::to_string(round), 100);
    }
    const bool neighbours = context.fields.get("dopost") == "makeprenext";
    return successMessage(neighbours ? m_family.neighboursDone : m_family.tasksDone, kDone);
}

// makehtml_list_action.php: the categories of its list one after the other (pageno), each made at
// once or, with more list pages than maxpagesize, in chunks (mkpage); every answer but the last
// links to the next step, as the real one does.
SiteAnswer SiteBackEnd::listAction(Context& context) {
    const FormFields& fields = context.fields;
    const std::string goType = fields.get("gotype");
    const int typeId = fields.getInt("typeid");
    const int upNext = fields.has("upnext") ? fields.getInt("upnext") : 1;
    const int pageNo = std::max(0, fields.getInt("pageno"));
    int mkPage = std::max(1, fields.getInt("mkpage"));
    const int maxPageSize = fields.getInt("maxpagesize") > 0 ? fields.getInt("maxpagesize") : 50;
    const std::string upPage = fields.get("uppage").empty() ? "0" : fields.get("uppage");
    std::vector<int> ids;
    if (typeId == 0) {
        for (const StandinCategory& c : m_categories) ids.push_back(c.id);
    } else if (upNext == 1) {
        ids = subtree(typeId);
    } else if (category(typeId)) {
        ids.push_back(typeId);
    }
    const auto count = static_cast<int>(ids.size());
    // The link to a step: a category of the list (pageno), and a chunk of its pages (mkpage; 0: none).
    const auto step = [&](int categoryNo, int chunkPage) {
        return "makehtml_list_action.php?gotype=" + goType + "&uppage=" + upPage +
               (chunkPage > 0 ? "&mkpage=" + std::to_string(chunkPage) : std::string()) +
               "&maxpagesize=" + std::to_string(maxPageSize) + "&typeid=" + std::to_string(typeId) +
               "&pageno=" + std::to_string(categoryNo) + "&isremote=0&serviterm=";
    };
    const auto goesOn = [&](int made, const std::string& next, bool wholeCategory) {
        const StandinCategory* madeCategory = category(made);
        const std::string name = madeCategory ? madeCategory->name : std::string();
        const std::string id = std::to_string(made);
        return successMessage(filledIn(wholeCategory ? m_family.listStepWhole : m_family.listStepChunk,
                                       {{"{id}", id}, {"{name}", name}}),
                              next, 100);
    };
    if (m_faults.endlessChain) {
        const int made = count == 0 ? 0 : ids[static_cast<std::size_t>(pageNo % count)];
        return goesOn(made, step(pageNo + 1, 0), true);
    }
    if (pageNo >= count && goType.empty()) return successMessage(m_family.listEmptyDone, kDone);
    bool finished = true;
    int tid = 0;
    int pagesMade = 0;
    if (pageNo < count) {
        tid = ids[static_cast<std::size_t>(pageNo)];
        const StandinCategory* made = category(tid);
        if (made) madeList(tid);
        const int pages = made ? std::max(1, made->listPages) : 1;
        pagesMade = pages;
        if (pages > maxPageSize) {
            pagesMade = std::min(maxPageSize, pages - mkPage + 1);
            mkPage += maxPageSize;
            finished = mkPage >= pages + 1;
        }
    }
    const auto worked = [&](SiteAnswer answer) {
        answer.workMicros = pagesMade * m_faults.listPageMicros;
        return answer;
    };
    if (pageNo + 1 >= count && finished) {
        if (goType == "mkallct") {
            return worked(successMessage(m_family.listDoneForAll, "makehtml_all.php?action=make&step=10"));
        }
        std::string text(m_family.listDone);
        if (const StandinCategory* made = category(tid)) {
            text += filledIn(m_family.listDoneLink, {{"{dir}", expandDir(made->typeDir)}});
        }
        return worked(successMessage(text, kDone));
    }
    return worked(finished ? goesOn(tid, step(pageNo + 1, 0), true)
                           : goesOn(tid, step(pageNo, mkPage), false));
}

SiteAnswer SiteBackEnd::rssAction(Context& context) {
    const int tid = context.fields.getInt("tid");
    const StandinCategory* next = nullptr;
    for (const StandinCategory& c : m_categories) {
        if (c.id > tid) {
            next = &c;
            break;
        }
    }
    if (!next && m_faults.endlessChain && !m_categories.empty()) next = &m_categories.front();
    if (!next && !m_faults.endlessChain) {
        if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
        return page("完成所有文件更新！");
    }
    const std::string id = std::to_string(next ? next->id : tid + 1);
    return successMessage("成功更新" + m_sitePath + "/data/rss/" + id + ".xml，继续进行操作！",
                          "makehtml_rss_action.php?tid=" + id + "&maxrecord=50&isremote=0&serviterm=", 100);
}

SiteAnswer SiteBackEnd::makeAll(Context& context) {
    if (context.fields.get("action") != "make") return message("一键更新网站", kDone);
    const int step = context.fields.getInt("step");
    const auto stepUrl = [](int next) {
        return "makehtml_all.php?action=make&step=" + std::to_string(next) + "&uptype=mkall&mkvalue=0";
    };
    switch (step) {
        case 2:
            return successMessage(m_family.allSteps[0], stepUrl(3));
        case 3:
            return successMessage(m_family.allSteps[1], stepUrl(4));
        case 4:
            return successMessage(m_family.allSteps[2], "makehtml_list_action.php?gotype=mkallct");
        case 10:
            if (!m_faults.endlessChain) return successMessage(m_family.allDone, kDone);
            [[fallthrough]];
        default:
            return successMessage(m_family.allStart, stepUrl(2));
    }
}

SiteAnswer SiteBackEnd::homePageAction(Context& context) {
    if (context.fields.get("dopost") != "make") {
        return page(homePageForm(charsetLabel(), m_homeTemplet, m_homePosition));
    }
    const std::string position = context.fields.get("position");
    if (context.fields.get("saveset") == "1") {
        m_homeTemplet = context.fields.get("templet");
        m_homePosition = position;
    }
    madeHomePage();
    if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
    const std::string made = filledIn(
        m_family.homePageMade, {{"{position}", position}, {"{site}", m_sitePath}, {"{admin}", m_adminDir}});
    return m_family.homePageMadeBare ? page(made) : message(made, kDone);
}

// makehtml_map.php: the site map or the RSS map.
SiteAnswer SiteBackEnd::siteMapAction(Context& context) {
    if (!m_family.mapPages) return notFound();
    const std::string file =
        context.fields.get("dopost") == "rss" ? "/data/rssmap.html" : "/data/sitemap.html";
    if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
    return page("<a href='" + m_sitePath + file + "' target='_blank'>成功更新文件: " + m_sitePath + file +
                " 浏览...</a>");
}

}  // namespace oz::testing
