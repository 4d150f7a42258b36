#pragma once

#include <vector>

#include "config/run_options.h"
#include "config/site_config.h"

namespace oz::ui {

// What the batch tools window reaches of the main window's site list, so that it needs nothing
// else of the main window. Called on the window thread only.
class SiteListAccess {
   public:
    virtual ~SiteListAccess() = default;

    virtual const config::SiteList& siteList() const = 0;
    // The record of the current site as the form shows it ("添加" would store this).
    virtual config::SiteConfig formSite() const = 0;
    // The run options as the window's controls hold them.
    virtual config::RunOptions runOptions() const = 0;
    // A publishing run is going.
    virtual bool isRunning() const = 0;

    // A bulk import's sites, already checked against the list: appended checked, the last made
    // current (and shown once, however many came).
    virtual void appendSites(const std::vector<config::SiteConfig>& sites) = 0;
    // A batch reading's result: the tree of `record` replaces the one of entry `row` (shown again
    // when it is the current entry).
    virtual void storeSiteTree(int row, const config::SiteConfig& record) = 0;
    // Makes entry `row` the current one and shows it, as a click on it would.
    virtual void selectSite(int row) = 0;
    // The controls that edit the site list: off while a batch operation is going.
    virtual void setSiteEditingEnabled(bool enabled) = 0;
};

}  // namespace oz::ui
