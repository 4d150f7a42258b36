#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "config/data_folder.h"
#include "config/settings_file.h"
#include "config/site_config.h"
#include "config/site_list_store.h"
#include "tests/support/temp_folder.h"

namespace oz::app::test {

// A fresh folder and the command line run over it, its output kept in m_out and m_err.
class CommandFixture : public ::testing::Test {
   protected:
    // "orvane-zentrel --data-dir DIR args..."; returns the exit status.
    int runIn(const std::filesystem::path& dataDir, std::vector<std::string> args) {
        args.insert(args.begin(), {"--data-dir", dataDir.string()});
        m_out.str("");
        m_err.str("");
        return runCommandLine(args, m_out, m_err);
    }

    // Saves a settings file in the folder whose list holds only `site`.
    void saveSite(const config::SiteConfig& site) {
        config::SettingsFile file;
        ASSERT_TRUE(file.open(m_dir / config::kSettingsFileName)) << file.lastError();
        config::SiteList list;
        list.sites.push_back(site);
        ASSERT_TRUE(config::saveSiteList(file, list)) << file.lastError();
    }

    oz::test::TempFolder m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

}  // namespace oz::app::test
