#pragma once

// The releases the stand-in imitates, each described once: where it keeps its pages, what its
// requests carry, what it answers and how its pages look. The site reads everything that differs
// from here, so a new release is one new table.
//
// These tables are the stand-in's own, written from captured answers of the real back ends. They
// must not be taken from the program's description of the back ends (src/backend/backend_family),
// or a wrong text there would pass every test.

#include <array>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "testing/standin_pages.h"
#include "testing/standin_server.h"

namespace oz::testing {

// What the category deletion (catalog_del.php?dopost=ok) does.
enum class CategoryDeletion {
    WithDescendants,  // the category and its descendants; their articles with delfile=yes
    AloneThenFails,   // the category and its articles, then HTTP 500 (a table the install never made);
                      // an unknown id fails at once
};

// The upload filter (include/uploadsafe.inc.php) in front of the picture upload.
enum class UploadFilter {
    None,
    RemakesPictures,  // 5.7.88: makes every picture part anew; a file that is none is refused, a GIF
                      // with no JPEG or PNG before it fails (imagedestroy of an image never made)
    MediaOnly,        // a part typed image/ that is no picture is refused
};

// How the picture upload answers: a refusal, and a stored picture asked for by the editor (CKUpload).
enum class UploadRefusal { MessagePage, Json };
enum class EditorUploadAnswer { Script, Json };

struct StandinFamily {
    std::string_view name;
    std::string_view version;       // what data/admin/ver.txt holds
    std::string_view captchaImage;  // below the install folder

    // The pages whose markup differs; each takes the charset label its meta tag declares.
    std::string (*messagePage)(std::string_view charsetLabel, std::string_view message,
                               std::string_view gotoUrl, int waitMs);
    std::string (*loginPage)(std::string_view charsetLabel, std::string_view gotoPage,
                             std::string_view captchaImage);
    std::string (*articleSavedPage)(std::string_view charsetLabel, const SavedArticleLinks& links);
    std::string (*articleListPage)(std::string_view charsetLabel, std::string_view keyword,
                                   const std::vector<ListedRow>& rows);
    CategoryIndent categoryIndent;  // of the add form's category options

    // Login (login.php). After this many wrong passwords of an account within a minute it asks for
    // the verification code; 0: never.
    std::string_view loginDone;
    std::string_view unknownUser;
    std::string_view wrongPassword;
    std::string_view captchaRefused;
    int captchaAfterWrongPasswords;

    // Article add (article_add.php). An unknown category either gets its refusal or fails: its
    // model is read and PHP throws (HTTP 500, nothing stored).
    std::string_view wrongChannel;
    std::string_view noCategory;
    std::string_view unknownCategory;
    bool unknownCategoryFails;
    // The form's upload list lives in the session: a post in a session that never opened the form
    // stores the article, then fails (HTTP 500).
    bool openAddFormFirst;
    // The success page's link to the article, and what a back end with its own success page shows
    // instead (StandinFaults::omitSuccessText).
    std::string_view articleLink;
    std::string_view articleLinkReworded;
    // The title column (dede_archives.title): its width, and whether it is a CHAR column, which
    // keeps no trailing space.
    int titleColumnChars;
    bool titleColumnFixed;

    // Article list (content_list.php): the character RemoveXss drops besides control characters.
    char listDropped;

    // The frames of the success page (task_do.php): the neighbouring articles, and the others.
    std::string_view neighboursDone;
    std::string_view tasksDone;

    // List action (makehtml_list_action.php). A step that goes on names the category ({id},
    // {name}) it made whole or a chunk of; the end names the last one's list page ({dir}).
    std::string_view listStepWhole;
    std::string_view listStepChunk;
    std::string_view listEmptyDone;  // nothing left to make
    std::string_view listDone;
    std::string_view listDoneLink;
    std::string_view listDoneForAll;  // within the update-everything chain, before its last step
    bool rssPages;                    // makehtml_rss_action.php exists
    bool mapPages;                    // makehtml_map.php exists

    // Update everything (makehtml_all.php): its first step, steps 2, 3 and 4, and its end.
    std::string_view allStart;
    std::array<std::string_view, 3> allSteps;
    std::string_view allDone;

    // The home page (makehtml_homepage.php): what a made one says ({position}, {site}: the site's
    // path, {admin}: the back-end folder), bare or in a message page.
    std::string_view homePageMade;
    bool homePageMadeBare;

    // Categories (catalog_*.php). An unknown id on the edit page gets categoryUnknown or fails.
    std::string_view categoryCreated;
    std::string_view categoryDeleted;
    CategoryDeletion categoryDeletion;
    std::string_view categoryUnknown;
    bool categoryEditFailsOnUnknown;

    // Article deletion (archives_do.php?dopost=delArchives): the separator of its id list (qstr);
    // a release that reads each article's model first fails (HTTP 500) at an id it does not hold.
    char idSeparator;
    bool deletionStopsAtMissingId;
    std::string_view articlesDeleted;

    // The editor's picture upload (dialog/select_images_post.php), below the install folder's
    // include/ (which asks for the back-end folder without a session) or in the back-end folder.
    bool uploadUnderInclude;
    UploadFilter uploadFilter;
    std::span<const std::string_view> pictureExtensions;
    bool extensionsIgnoreCase;
    // The picture types (Content-Type) taken, compared ignoring case, and one more compared as sent.
    std::span<const std::string_view> pictureTypes;
    std::string_view pictureTypeAsSent;
    std::string_view uploadFolder;  // below the site: "/uploads/allimg/"
    UploadRefusal uploadRefusal;
    EditorUploadAnswer editorUploadAnswer;
    std::string_view pictureMissing;
    std::string_view extensionRefused;
    std::string_view typeRefused;
    std::string_view notMedia;  // UploadFilter::MediaOnly
    std::string_view pictureUploaded;
    // The watermark choice: the field read, whether its absence means the site's setting (on),
    // and whether an upload from the editor (CKEditor) never gets one.
    std::string_view watermarkField;
    bool watermarkWhenAbsent;
    bool editorUploadsUnmarked;
};

const StandinFamily& standinFamily(StandinRelease release);

// `pattern` with each "{name}" of `values` replaced by its value, in one pass (a value that holds
// a "{name}" of its own stays as it is).
std::string filledIn(std::string_view pattern,
                     std::initializer_list<std::pair<std::string_view, std::string_view>> values);

}  // namespace oz::testing
