#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/data_folder.h"
#include "config/settings_file.h"
#include "tests/support/temp_folder.h"
#include "text/charset.h"

namespace oz::config::testing {

// Test texts are written in UTF-8; the settings file holds GBK.
inline std::string gbk(const std::string& utf8) { return text::utf8ToGbk(utf8); }

// The settings file's place in a fresh folder, and a SettingsFile for it.
class SettingsFixture : public ::testing::Test {
   protected:
    // Writes the settings file with the given content (UTF-8 here, GBK on disk) and opens it.
    void openWith(const std::string& utf8) {
        oz::test::writeBytes(m_path, gbk(utf8));
        ASSERT_TRUE(m_file.open(m_path)) << m_file.lastError();
    }

    oz::test::TempFolder m_dir;
    std::filesystem::path m_path = m_dir / kSettingsFileName;
    SettingsFile m_file;
};

}  // namespace oz::config::testing
