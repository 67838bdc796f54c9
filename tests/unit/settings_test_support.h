#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <stdlib.h>

#include <gtest/gtest.h>

#include "text/settings.h"

namespace tarvisk::test {

/// Each test gets a fresh temporary settings folder, removed afterwards.
class ScratchSettingsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvisk-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        SetSettingsFolder(m_folder);
    }
    void TearDown() override {
        SetSettingsFolder({});
        std::filesystem::remove_all(m_folder);
    }

    std::filesystem::path m_folder;
};

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

} // namespace tarvisk::test
