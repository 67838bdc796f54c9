#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <stdlib.h>

#include <gtest/gtest.h>

#include "text/settings.h"

namespace tarvisk::test {

/// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

/// Each test gets a fresh temporary settings folder, removed afterwards, and a per-user configuration folder
/// inside it (where the settings go when the folder's Setting.ini cannot be read).
class ScratchSettingsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvisk-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        SetSettingsFolder(m_folder);
        m_userConfig.emplace("XDG_CONFIG_HOME", (m_folder / "user").c_str());
    }
    void TearDown() override {
        m_userConfig.reset();
        SetSettingsFolder({});
        std::filesystem::remove_all(m_folder);
    }

    /// Setting.ini of the per-user configuration folder.
    std::filesystem::path userFile() const { return m_folder / "user" / "Tarvisk" / "Setting.ini"; }

    std::filesystem::path m_folder;
    std::optional<ScopedEnv> m_userConfig;
};

} // namespace tarvisk::test
