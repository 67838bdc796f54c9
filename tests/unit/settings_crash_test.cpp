// The settings file under the faults a seller's machine meets: a writer killed at any moment, values
// that once broke the file, and a program folder that cannot be written.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "text/encoding.h"
#include "text/regex.h"
#include "text/settings.h"
#include "settings_test_support.h"

extern char** environ;

namespace tarvisk {
namespace {

namespace fs = std::filesystem;

class SettingsUnderFaults : public test::ScratchSettingsFolder {};

/// The round number in a value the writer stored ("round 12 宝宝… end", "//shop12.taobao.com/");
/// -1 when the value is not one whole value of the writer.
long RoundOf(const std::u16string& value, const std::u16string& pattern) {
    if (RegexMatch(value, pattern, 1) != value)
        return -1;
    return std::stol(ToUtf8(RegexMatch(value, u"\\d+", 1)));
}

TEST_F(SettingsUnderFaults, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    const std::u16string keyword = u"^round \\d+ 宝{400} end$";
    const std::u16string shop = u"^//shop\\d+\\.taobao\\.com/$";
    std::mt19937 random(20240607);
    for (int run = 0; run < 25; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        ASSERT_TRUE(WriteSetting(u"KeyWord", u"round 0 " + std::u16string(400, u'宝') + u" end"));
        ASSERT_TRUE(WriteSetting(u"SURL", u"//shop0.taobao.com/"));
        // Nothing of this process may wait to be written while the writer runs.
        ASSERT_TRUE(FlushSettings());

        const std::string folder = m_folder.string();
        char* const argv[] = {const_cast<char*>(TARVISK_SETTINGS_WRITER), const_cast<char*>(folder.c_str()), nullptr};
        pid_t writer = 0;
        ASSERT_EQ(::posix_spawn(&writer, TARVISK_SETTINGS_WRITER, nullptr, nullptr, argv, environ), 0);
        // Once the writer is under way, kill it at a random moment of its rounds.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (RoundOf(ReadSetting(u"SURL"), shop) < 1 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 8000)(random)));
        ASSERT_EQ(::kill(writer, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own";

        // Each round stores KeyWord, then SURL: the file holds both of round n, or KeyWord of n + 1.
        const long keywordRound = RoundOf(ReadSetting(u"KeyWord"), keyword);
        const long shopRound = RoundOf(ReadSetting(u"SURL"), shop);
        ASSERT_GE(shopRound, 1) << ToUtf8(ReadSetting(u"SURL"));
        EXPECT_TRUE(keywordRound == shopRound || keywordRound == shopRound + 1)
            << "KeyWord of round " << keywordRound << ", SURL of round " << shopRound;
    }
}

TEST_F(SettingsUnderFaults, TwoProgramsWritingAtOnceKeepEachOthersKeys) {
    // tarvisk and tarvix share the folder: each writes 200 keys of its own while the other writes.
    constexpr int kKeys = 200;
    const std::string folder = m_folder.string();
    const std::string count = std::to_string(kKeys);
    std::vector<pid_t> writers;
    for (const char* prefix : {"tarvisk", "tarvix"}) {
        char* const argv[] = {const_cast<char*>(TARVISK_SETTINGS_WRITER), const_cast<char*>(folder.c_str()),
                              const_cast<char*>(prefix), const_cast<char*>(count.c_str()), nullptr};
        pid_t writer = 0;
        ASSERT_EQ(::posix_spawn(&writer, TARVISK_SETTINGS_WRITER, nullptr, nullptr, argv, environ), 0);
        writers.push_back(writer);
    }
    for (const pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
    }
    int lost = 0;
    for (const char16_t* prefix : {u"tarvisk", u"tarvix"}) {
        for (int i = 1; i <= kKeys; ++i) {
            const std::u16string key = prefix + FromUtf8(std::to_string(i));
            lost += ReadSetting(key) == u"value of " + key ? 0 : 1;
        }
    }
    EXPECT_EQ(lost, 0) << "keys lost of " << 2 * kKeys;
}

TEST_F(SettingsUnderFaults, ValuesThatOnceBrokeTheFileReadBackAndSpareTheOtherKeys) {
    const struct {
        const char* what;
        std::u16string value;
        std::u16string readBack;
    } cases[] = {
        // Written as it was, a NUL made the whole file unreadable: every setting was lost.
        {"a NUL ends the value", std::u16string(u"软件\0开发", 5), u"软件"},
        {"a value of NULs only", std::u16string(u"\0\0", 2), u""},
        // Code page 936 writes the euro sign as the single byte 0x80.
        {"euro sign", u"€", u"€"},
        {"euro sign inside Chinese text", u"价格€99元", u"价格€99元"},
        {"euro sign before a quote", u"€\"", u"€\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteSetting(u"SURL", u"//demoshop1.taobao.com/"));
        ASSERT_TRUE(WriteSetting(u"KeyWord", c.value));
        ASSERT_TRUE(FlushSettings());
        EXPECT_EQ(ReadSetting(u"KeyWord"), c.readBack);
        EXPECT_EQ(ReadSetting(u"SURL"), u"//demoshop1.taobao.com/");
    }
}

TEST_F(SettingsUnderFaults, AProgramFolderThatCannotBeWrittenFallsBackToTheUserFolder) {
    const std::string xdg = (m_folder / "xdg").string();
    const test::ScopedEnv xdgHome("XDG_CONFIG_HOME", xdg.c_str());
    // /proc refuses new files even to root, who may write into any ordinary folder.
    for (const fs::path& programFolder : {fs::path("/proc"), m_folder / "missing", fs::path()}) {
        SCOPED_TRACE(programFolder.string());
        EXPECT_EQ(ResolveSettingsFolder(programFolder), fs::path(xdg) / "Tarvisk");
    }
    EXPECT_EQ(ResolveSettingsFolder(m_folder), m_folder);

    SetSettingsFolder(ResolveSettingsFolder("/proc"));
    EXPECT_TRUE(WriteSetting(u"Pages", u"7"));
    EXPECT_EQ(ReadSetting(u"Pages"), u"7");
    EXPECT_TRUE(FlushSettings());
    EXPECT_TRUE(fs::exists(fs::path(xdg) / "Tarvisk" / "Setting.ini"));
    // Asked to write where nothing can be made, the file functions fail quietly.
    SetSettingsFolder("/proc/tarvisk");
    EXPECT_FALSE(WriteSetting(u"Pages", u"8"));
    EXPECT_EQ(ReadSetting(u"Pages"), u"");
}

} // namespace
} // namespace tarvisk
