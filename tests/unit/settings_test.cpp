#include "text/settings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/files.h"
#include "text/encoding.h"
#include "settings_test_support.h"

namespace tarvisk {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public test::ScratchSettingsFolder {
protected:
    fs::path file() const { return m_folder / "Setting.ini"; }

    void putFile(const std::string& bytes) const {
        std::ofstream out(file(), std::ios::binary);
        out << bytes;
    }

    std::string fileBytes() const {
        std::ifstream in(file(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

// "[配置]" in code page 936.
const std::string kSection = EncodeGbk(u"[配置]");

/// Holds the writer thread back for the life of the object: only a flush writes the file then.
class HeldWrites {
public:
    HeldWrites() { SetSettingsWriteDelay(std::chrono::hours(1)); }
    ~HeldWrites() { SetSettingsWriteDelay(kSettingsWriteDelay); }
    HeldWrites(const HeldWrites&) = delete;
    HeldWrites& operator=(const HeldWrites&) = delete;
};

TEST_F(SettingsFile, ValuesReadBackExactlyAsWritten) {
    const struct {
        const char* what;
        std::u16string value;
    } cases[] = {
        {"Chinese text", u"软件开发 店铺"},
        {"empty value", u""},
        {"blanks at both ends", u"  关键字 "},
        {"wholly double-quoted", u"\"x\""},
        {"wholly single-quoted", u"'42054041382'"},
        {"lone quote", u"\""},
        {"equals signs and semicolons", u"a=b;c"},
        {"an address", u"https://shop123.taobao.com/search.htm?v=1&pageNo=2"},
        {"brackets", u"[配置]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteSetting(u"KeyWord", c.value));
        EXPECT_EQ(ReadSetting(u"KeyWord"), c.value);
    }
}

TEST_F(SettingsFile, StoresTextInCodePage936) {
    ASSERT_TRUE(WriteSetting(u"KeyWord", u"中文"));
    ASSERT_TRUE(FlushSettings());
    EXPECT_EQ(fileBytes(), kSection + "\r\n" + "KeyWord=\xD6\xD0\xCE\xC4\r\n");
}

TEST_F(SettingsFile, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(ReadSetting(u"SURL"), u"");
    EXPECT_FALSE(fs::exists(file())) << "a read must not create the file";
    ASSERT_TRUE(WriteSetting(u"KeyWord", u"x"));
    EXPECT_EQ(ReadSetting(u"SURL"), u"");
    EXPECT_EQ(ReadSetting(u"KeyWord", u"其他"), u"");
}

TEST_F(SettingsFile, ReadsFilesWrittenByOtherTools) {
    const struct {
        const char* what;
        std::string content;
        std::u16string key;
        std::u16string expected;
    } cases[] = {
        {"key letter case ignored", kSection + "\r\nkeyword=a\r\n", u"KeyWord", u"a"},
        {"blanks around names and value", "  " + kSection + "  \r\n  Pages \t=  12 \r\n", u"Pages", u"12"},
        {"blanks inside the brackets", EncodeGbk(u"[ 配置 ]") + "\nop=2\n", u"op", u"2"},
        {"double quotes removed", kSection + "\nSURL=\"//a.com/\"\n", u"SURL", u"//a.com/"},
        {"single quotes removed", kSection + "\nSURL='x y'\n", u"SURL", u"x y"},
        {"mismatched quotes kept", kSection + "\nSURL=\"x'\n", u"SURL", u"\"x'"},
        {"quote inside kept", kSection + "\nSURL=a\"b\"\n", u"SURL", u"a\"b\""},
        {"comment line ignored", kSection + "\n;Goods=1\nGoods=2\n", u"Goods", u"2"},
        {"commented key alone is missing", kSection + "\n; Goods=1\n", u"Goods", u""},
        {"key before any section ignored", "Goods=1\n" + kSection + "\n", u"Goods", u""},
        {"key of another section ignored", "[other]\nGoods=1\n" + kSection + "\nop=1\n", u"Goods", u""},
        {"first of two equal keys wins", kSection + "\nGoods=1\ngoods=2\n", u"Goods", u"1"},
        {"repeated section is searched", kSection + "\nop=1\n[x]\n" + kSection + "\nGoods=7\n", u"Goods", u"7"},
        {"no line break at the end", kSection + "\r\nPages=5", u"Pages", u"5"},
        {"only the first equals sign splits", kSection + "\nSURL=a=b\n", u"SURL", u"a=b"},
        {"line without equals sign", kSection + "\nGoods\nop=1\n", u"Goods", u""},
        {"empty value", kSection + "\nGoods=\n", u"Goods", u""},
        {"header without closing bracket", "[配置\nGoods=1\n", u"Goods", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        putFile(c.content);
        EXPECT_EQ(ReadSetting(c.key), c.expected);
    }
}

TEST_F(SettingsFile, WritesChangeOnlyTheKeysLine) {
    const std::string s = kSection;
    const struct {
        const char* what;
        std::string before;
        std::u16string key;
        std::u16string value;
        std::string after;
    } cases[] = {
        {"new file", "", u"op", u"1", s + "\r\nop=1\r\n"},
        {"replace in place, other lines untouched", ";note\r\n" + s + "\r\n a = 1 \r\nop=2\r\n", u"A", u"9",
         ";note\r\n" + s + "\r\nA=9\r\nop=2\r\n"},
        {"replace the first of two", s + "\r\nop=1\r\nop=2\r\n", u"op", u"3", s + "\r\nop=3\r\nop=2\r\n"},
        {"append to the section before the next one", s + "\r\nop=1\r\n\r\n[x]\r\ny=2\r\n", u"Pages", u"5",
         s + "\r\nop=1\r\nPages=5\r\n\r\n[x]\r\ny=2\r\n"},
        {"append to an empty section", s + "\r\n[x]\r\n", u"op", u"1", s + "\r\nop=1\r\n[x]\r\n"},
        {"create the section at the end", "[x]\r\ny=2\r\n", u"op", u"1", "[x]\r\ny=2\r\n" + s + "\r\nop=1\r\n"},
        {"last line without line break", s + "\r\nop=1", u"Pages", u"5", s + "\r\nop=1\r\nPages=5\r\n"},
        {"file with LF line breaks keeps them", "[x]\ny=2", u"op", u"1", "[x]\ny=2\n" + s + "\nop=1\n"},
        {"replace keeps the line break of the line", s + "\nop=1", u"op", u"2", s + "\nop=2"},
        {"line breaks in the value become blanks", "", u"op", u"a\r\nb", s + "\r\nop=a  b\r\n"},
        {"value with outer blanks is quoted", "", u"op", u" a", s + "\r\nop=\" a\"\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file());
        if (!c.before.empty()) {
            putFile(c.before);
        }
        ASSERT_TRUE(WriteSetting(c.key, c.value));
        ASSERT_TRUE(FlushSettings());
        EXPECT_EQ(fileBytes(), c.after);
    }
}

TEST_F(SettingsFile, LongValuesAreCutTo1023BytesWithoutSplittingACharacter) {
    const struct {
        const char* what;
        std::u16string value;
        std::u16string expected;
    } cases[] = {
        {"1023 ASCII bytes stay", std::u16string(1023, u'a'), std::u16string(1023, u'a')},
        {"1024 ASCII bytes lose one", std::u16string(1024, u'a'), std::u16string(1023, u'a')},
        {"two-byte characters stop at 1022", std::u16string(600, u'中'), std::u16string(511, u'中')},
        {"odd start fills 1023 exactly", u"a" + std::u16string(600, u'中'), u"a" + std::u16string(511, u'中')},
        {"511 characters and 1 byte stay", std::u16string(511, u'中') + u"a", std::u16string(511, u'中') + u"a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteSetting(u"KeyWord", c.value));
        EXPECT_EQ(ReadSetting(u"KeyWord"), c.expected);
        EXPECT_LE(EncodeGbk(ReadSetting(u"KeyWord")).size(), kSettingValueMaxBytes);
    }
}

/// Writes two keys and reads them back; the unreadable Setting.ini must come through untouched, the keys living in
/// the per-user file. True when all held (failures are reported on stderr, so a child process can run it).
bool KeysGoToTheUserFileAndTheUnreadableFileStays(const fs::path& file, const fs::path& userFile) {
    std::error_code error;
    const auto before = fs::last_write_time(file, error);
    const bool written = WriteSetting(u"Pages", u"3") && WriteSetting(u"op", u"2") && FlushSettings();
    const bool read = ReadSetting(u"Pages") == u"3" && ReadSetting(u"op") == u"2";
    std::ifstream in(userFile, std::ios::binary);
    const std::string user((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool inUserFile = user == kSection + "\r\nPages=3\r\nop=2\r\n";
    const bool untouched = fs::exists(file) && fs::last_write_time(file, error) == before;
    if (!written || !read || !inUserFile || !untouched) {
        std::fprintf(stderr, "written %d, read back %d, in the user file %d (%s), file untouched %d\n", written, read,
                     inUserFile, user.c_str(), untouched);
    }
    return written && read && inUserFile && untouched;
}

TEST_F(SettingsFile, AFileThatCannotBeReadIsNeverReplaced) {
    std::u16string utf16 = u"\uFEFF[配置]\r\nop=1\r\n";
    const struct {
        const char* what;
        std::string content;
    } cases[] = {
        {"binary", kSection + "\r\nop=1\r\n" + std::string("\0\x01\x02", 3)},
        {"oversized", kSection + "\r\nop=1\r\n" + std::string(2u << 20, ';')},
        {"UTF-16 with its byte-order mark", std::string(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2)},
        {"UTF-16 of Chinese text alone", std::string("\xFF\xFE\x4D\x91\x6E\x7F", 6)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(userFile());
        putFile(c.content);
        EXPECT_EQ(ReadSetting(u"op"), u"");
        EXPECT_TRUE(KeysGoToTheUserFileAndTheUnreadableFileStays(file(), userFile()));
        EXPECT_EQ(fileBytes(), c.content);
    }

    // A folder in the file's place.
    fs::remove(file());
    fs::remove(userFile());
    fs::create_directory(file());
    EXPECT_TRUE(KeysGoToTheUserFileAndTheUnreadableFileStays(file(), userFile()));
    EXPECT_TRUE(fs::is_directory(file()));

    // Once the file can be read again, it is the settings file again.
    fs::remove(file());
    putFile(kSection + "\r\nop=1\r\n");
    EXPECT_EQ(ReadSetting(u"op"), u"1");
}

TEST_F(SettingsFile, AFileWithoutReadPermissionIsNeverReplaced) {
    putFile(kSection + "\r\nop=1\r\n");
    fs::permissions(file(), fs::perms::owner_write);
    if (::geteuid() != 0) {
        EXPECT_TRUE(KeysGoToTheUserFileAndTheUnreadableFileStays(file(), userFile()));
    } else {
        // Root reads every file: an ordinary user meets the file, in a child process.
        constexpr uid_t kNobody = 65534;
        ASSERT_EQ(::chown(m_folder.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(file().c_str(), kNobody, kNobody), 0);
        EXPECT_EXIT(
            {
                const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
                std::exit(dropped && KeysGoToTheUserFileAndTheUnreadableFileStays(file(), userFile()) ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fileBytes(), kSection + "\r\nop=1\r\n");
}

TEST_F(SettingsFile, AnUnreadableUserFileTooLeavesEverythingAlone) {
    putFile(std::string("\0", 1));
    fs::create_directories(userFile().parent_path());
    {
        std::ofstream out(userFile(), std::ios::binary);
        out << std::string("\0", 1);
    }
    EXPECT_FALSE(WriteSetting(u"op", u"1"));
    EXPECT_EQ(ReadSetting(u"op"), u"");
    EXPECT_EQ(fileBytes(), std::string("\0", 1));
    EXPECT_EQ(fs::file_size(userFile()), 1u);
}

TEST_F(SettingsFile, UndecodableBytesInOtherLinesSurviveAWrite) {
    const std::string content = kSection + "\r\nnote=\xFF\xFF\x81\r\n";
    putFile(content);
    ASSERT_TRUE(WriteSetting(u"op", u"2"));
    ASSERT_TRUE(FlushSettings());
    EXPECT_EQ(fileBytes(), kSection + "\r\nnote=\xFF\xFF\x81\r\nop=2\r\n");
}

TEST_F(SettingsFile, InvalidNamesAreRefusedAndLeaveTheFileAlone) {
    putFile(kSection + "\r\nop=1\r\n");
    const struct {
        std::u16string key;
        std::u16string section;
    } cases[] = {
        {u"", u""},    {u"  ", u""},   {u"a=b", u""},   {u";op", u""},
        {u"[op", u""}, {u"o\np", u""}, {u"op", u"a]b"}, {u"op", u"a\nb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.key + u" / " + c.section));
        EXPECT_FALSE(WriteSetting(c.key, u"x", c.section));
    }
    EXPECT_EQ(fileBytes(), kSection + "\r\nop=1\r\n");
}

TEST_F(SettingsFile, ReplacesTheFileAtomicallyWithOwnerOnlyMode) {
    putFile(kSection + "\r\nop=1\r\n");
    fs::permissions(file(), fs::perms::all);
    ASSERT_TRUE(WriteSetting(u"op", u"2"));
    ASSERT_TRUE(FlushSettings());
    struct stat info {};
    ASSERT_EQ(::stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    for (const auto& entry : fs::directory_iterator(m_folder)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Setting.ini" || name == ".Setting.ini.lock") << "left behind: " << name;
    }
}

TEST_F(SettingsFile, ShopAddressIsOneKeyForBothWindows) {
    // The shop window writes SURL on every change; the ranking window reads the same key at load.
    ASSERT_TRUE(WriteSetting(u"SURL", u"//shop1.taobao.com/"));
    ASSERT_TRUE(WriteSetting(u"surl", u"//shop2.taobao.com/"));
    EXPECT_EQ(ReadSetting(u"SURL"), u"//shop2.taobao.com/");
    ASSERT_TRUE(FlushSettings());
    EXPECT_EQ(fileBytes(), kSection + "\r\nsurl=//shop2.taobao.com/\r\n");
}

TEST_F(SettingsFile, WriteIntoAFolderThatCannotBeCreatedFailsQuietly) {
    putFile("not a folder");
    SetSettingsFolder(file() / "sub");
    EXPECT_FALSE(WriteSetting(u"op", u"1"));
    EXPECT_EQ(ReadSetting(u"op"), u"");
}

TEST_F(SettingsFile, CreatesTheSettingsFolderOnFirstWrite) {
    SetSettingsFolder(m_folder / "config" / "Tarvisk");
    ASSERT_TRUE(WriteSetting(u"op", u"1"));
    ASSERT_TRUE(FlushSettings());
    EXPECT_TRUE(fs::exists(m_folder / "config" / "Tarvisk" / "Setting.ini"));
    EXPECT_EQ(ReadSetting(u"op"), u"1");
}

TEST_F(SettingsFile, ABurstOfWritesToOneKeyReachesTheFileOnceItEnds) {
    const HeldWrites held;
    ASSERT_TRUE(WriteSetting(u"KeyWord", u"0"));
    ASSERT_TRUE(FlushSettings());
    for (int i = 1; i <= 50; ++i) {
        ASSERT_TRUE(WriteSetting(u"KeyWord", FromUtf8(std::to_string(i))));
    }
    EXPECT_EQ(fileBytes(), kSection + "\r\nKeyWord=0\r\n") << "a write of the burst rewrote the file";
    // Let go, the writer thread writes the last value of the burst.
    SetSettingsWriteDelay(std::chrono::milliseconds(1));
    const std::string last = kSection + "\r\nKeyWord=50\r\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (fileBytes() != last && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(fileBytes(), last);
}

TEST_F(SettingsFile, AWriteReadsBackAtOnceBeforeItReachesTheFile) {
    const HeldWrites held;
    putFile(kSection + "\r\nKeyWord=old\r\n");
    ASSERT_TRUE(WriteSetting(u"keyword", u" new "));
    EXPECT_EQ(ReadSetting(u"KeyWord"), u" new ");
    EXPECT_EQ(fileBytes(), kSection + "\r\nKeyWord=old\r\n");
}

TEST_F(SettingsFile, PendingWritesReachTheirFolderAtAFlushOrASwitchOfFolder) {
    const HeldWrites held;
    ASSERT_TRUE(WriteSetting(u"op", u"1"));
    SetSettingsFolder(m_folder / "other");
    EXPECT_EQ(fileBytes(), kSection + "\r\nop=1\r\n");
    ASSERT_TRUE(WriteSetting(u"op", u"2"));
    EXPECT_TRUE(FlushSettings());
    EXPECT_EQ(ReadFileBytes(m_folder / "other" / "Setting.ini", 1024), kSection + "\r\nop=2\r\n");
}

TEST_F(SettingsFile, ChangeSettingSeesAndKeepsPendingWrites) {
    const HeldWrites held;
    ASSERT_TRUE(WriteSetting(u"DailyRunDate", u"2024-05-01"));
    ASSERT_TRUE(WriteSetting(u"op", u"2"));
    std::u16string seen;
    EXPECT_TRUE(ChangeSetting(u"DailyRunDate", [&seen](const std::u16string& stored) {
        seen = stored;
        return std::optional<std::u16string>(u"2024-05-02");
    }));
    EXPECT_EQ(seen, u"2024-05-01");
    EXPECT_EQ(fileBytes(), kSection + "\r\nDailyRunDate=2024-05-02\r\nop=2\r\n");
    EXPECT_EQ(ReadSetting(u"DailyRunDate"), u"2024-05-02");
}

TEST_F(SettingsFile, AWriteThatFailsWaitsForTheNextFlush) {
    const HeldWrites held;
    ASSERT_TRUE(WriteSetting(u"op", u"1"));
    // Folders in the places of both files: neither can be read, so neither is written.
    fs::create_directory(file());
    fs::create_directories(userFile());
    EXPECT_FALSE(FlushSettings());
    EXPECT_EQ(ReadSetting(u"op"), u"1");
    fs::remove(file());
    EXPECT_TRUE(FlushSettings());
    EXPECT_EQ(fileBytes(), kSection + "\r\nop=1\r\n");
}

TEST_F(SettingsFile, ProgramFolderIsUsedOnlyWhenWritable) {
    // Tests run as root, where permissions do not stop writes: the writability check is injected.
    const test::ScopedEnv xdg("XDG_CONFIG_HOME", (m_folder / "xdg").c_str());
    const auto yes = [](const fs::path&) { return true; };
    const auto no = [](const fs::path&) { return false; };
    EXPECT_EQ(ResolveSettingsFolder("/opt/tarvisk", yes), fs::path("/opt/tarvisk"));
    EXPECT_EQ(ResolveSettingsFolder("/opt/tarvisk", no), m_folder / "xdg" / "Tarvisk");
}

TEST_F(SettingsFile, InstalledProgramsReadTheirFilesFromShareAndKeepSettingsPerUser) {
    // <prefix>/bin/tarvisk with <prefix>/share/tarvisk is installed, wherever the prefix is; a build folder, a
    // folder of the program's own, or a bin folder without the data folder is not.
    const fs::path prefix = m_folder / "opt" / "prefix";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "tarvisk" / "tbimgs");
    fs::create_directories(m_folder / "build" / "src" / "app");
    fs::create_directories(m_folder / "other" / "bin");
    fs::create_directories(m_folder / "other" / "share" / "tarvisk-old");
    const fs::path data = prefix / "share" / "tarvisk";
    const struct {
        fs::path programFolder;
        std::optional<fs::path> installed;
    } cases[] = {
        {prefix / "bin", data},
        {prefix / "bin" / "", data},
        {prefix / "bin" / "." / "", data},
        {prefix / "share" / ".." / "bin", data},
        {m_folder / "build" / "src" / "app", std::nullopt},
        {m_folder / "other" / "bin", std::nullopt},
        {prefix, std::nullopt},
        {fs::path(), std::nullopt},
    };
    const test::ScopedEnv xdg("XDG_CONFIG_HOME", (m_folder / "xdg").c_str());
    const auto yes = [](const fs::path&) { return true; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.programFolder.string());
        const std::optional<fs::path> installed = InstalledDataFolder(c.programFolder);
        ASSERT_EQ(installed.has_value(), c.installed.has_value());
        if (installed) {
            EXPECT_TRUE(fs::equivalent(*installed, *c.installed));
        }
        EXPECT_EQ(ResourceFolder(c.programFolder), installed.value_or(c.programFolder));
        // A folder the package manager owns holds no user's settings, even when root could write there.
        EXPECT_EQ(ResolveSettingsFolder(c.programFolder, yes),
                  installed ? m_folder / "xdg" / "Tarvisk" : c.programFolder);
    }
}

TEST_F(SettingsFile, UserConfigFolderFollowsXdgThenHome) {
    const test::ScopedEnv home("HOME", "/home/seller");
    const struct {
        const char* xdg;
        fs::path expected;
    } cases[] = {
        {"/cfg", "/cfg/Tarvisk"},
        {nullptr, "/home/seller/.config/Tarvisk"},
        {"relative/cfg", "/home/seller/.config/Tarvisk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xdg != nullptr ? c.xdg : "(unset)");
        const test::ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(UserConfigFolder(), c.expected);
    }
}

TEST_F(SettingsFile, WritableFolderCheck) {
    putFile("x");
    EXPECT_TRUE(FolderIsWritable(m_folder));
    EXPECT_FALSE(FolderIsWritable(m_folder / "missing"));
    EXPECT_FALSE(FolderIsWritable(file()));
    EXPECT_FALSE(FolderIsWritable({}));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_folder)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u) << "the check must not leave its probe file behind";
}

TEST_F(SettingsFile, AChangeOnTheStoredValueIsMadeByOneOfThePrograms) {
    // Eight programs sharing the folder claim the same day at once, each waiting a moment between its read and its
    // write: one of them makes the change, the others see it made.
    std::vector<pid_t> programs;
    for (int i = 0; i < 8; ++i) {
        const pid_t program = ::fork();
        ASSERT_GE(program, 0);
        if (program == 0) {
            const bool claimed = ChangeSetting(u"DailyRunDate", [](const std::u16string& stored) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return stored == u"2024-05-01" ? std::nullopt : std::optional<std::u16string>(u"2024-05-01");
            });
            ::_exit(claimed ? 0 : 1);
        }
        programs.push_back(program);
    }
    int claims = 0;
    for (const pid_t program : programs) {
        int status = 0;
        ASSERT_EQ(::waitpid(program, &status, 0), program);
        ASSERT_TRUE(WIFEXITED(status));
        claims += WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    EXPECT_EQ(claims, 1);
    EXPECT_EQ(ReadSetting(u"DailyRunDate"), u"2024-05-01");
    // A change that gives no value leaves the file as it was; a key that is no name is refused.
    EXPECT_FALSE(ChangeSetting(u"DailyRunDate", [](const std::u16string&) { return std::nullopt; }));
    EXPECT_FALSE(ChangeSetting(u"a=b", [](const std::u16string&) { return std::optional<std::u16string>(u"x"); }));
}

} // namespace
} // namespace tarvisk
