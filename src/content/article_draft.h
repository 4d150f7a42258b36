#pragma once

#include <string>

namespace oz::content {

// One article on its way to a site. Fields are named after the add-article form fields that
// carry them. compose() fills everything up to `source`; the insertions change `title` and `body`
// in place; `description`, `click` and `flags` are drawn when the form is built
// (drawSubmissionFields).
struct ArticleDraft {
    std::string path;         // the article file it came from (not sent)
    std::string contentHash;  // SHA-256 of that file's bytes as read, hex (not sent)
    std::string title;        // title
    std::string shorttitle;   // shorttitle
    std::string tags;         // tags
    std::string keywords;     // keywords
    std::string writer;       // writer
    int typeId = 0;           // typeid (0: none chosen)
    std::string filename;     // filename (empty: the back end's own naming)
    std::string source;       // source
    std::string body;         // body
    std::string description;  // description (empty: left out of the form)
    int click = 0;            // click
    // flags[]: one form field per letter, in form order: h c f a s b p. Empty: no flags[] at all.
    std::string flags;
};

}  // namespace oz::content
