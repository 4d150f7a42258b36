#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "config/run_options.h"
#include "config/site_config.h"

class QWidget;

namespace oz::ui {

// How a control holds its value.
enum class BindingKind {
    Text,     // QLineEdit / QPlainTextEdit text (CR LF between lines)
    Integer,  // QLineEdit text, read leniently and held inside the field's range
    Real,     // QLineEdit text, read leniently with its fraction; shown as typed ("0.01")
    Check,    // QAbstractButton check state
    Combo,    // QComboBox index
    Tag,      // the button's tag: the list a list button edits
    Color,    // the "colorValue" property of the colour picker
    Radio,    // one radio of a group: selected when the field equals `radioValue`
};

using SiteMember =
    std::variant<std::string config::SiteConfig::*, int config::SiteConfig::*, float config::SiteConfig::*,
                 bool config::SiteConfig::*, std::optional<std::string> config::SiteConfig::*>;
using OptionMember =
    std::variant<std::string config::RunOptions::*, int config::RunOptions::*, bool config::RunOptions::*>;

// One row of the window's binding table: the control's object name, how it holds its value and
// the record field it shows.
struct SiteBinding {
    const char* objectName;
    BindingKind kind;
    SiteMember member;
    int radioValue = 0;
};
struct OptionBinding {
    const char* objectName;
    BindingKind kind;
    OptionMember member;
};

// Every control bound to a SiteConfig field (启用 and the category tree are the list's and the
// tree's own), and every control bound to a RunOptions key, the menu checks aside.
const std::vector<SiteBinding>& siteBindings();
const std::vector<OptionBinding>& optionBindings();

// Lets the number boxes of the table take only numbers (whole ones for Integer, with a fraction
// for Real) as the operator types.
void setNumberValidators(QWidget* window);

// Fill the window's bound controls from a record / read a record from them. Fields without a
// control (启用, 栏目数据, 栏目ID, 栏目选择项) keep the values of `base`; 域名 and 目录 are normalised.
void showSiteFields(QWidget* window, const config::SiteConfig& site);
config::SiteConfig readSiteFields(const QWidget* window, config::SiteConfig base);

void showOptionFields(QWidget* window, const config::RunOptions& options);
config::RunOptions readOptionFields(const QWidget* window, config::RunOptions base);

}  // namespace oz::ui
