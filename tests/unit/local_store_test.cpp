// The local database under the faults a user's machine meets: old files, a newer program's file, another
// program's database, a lock held by the other program, a read-only or damaged file, two writers at once.

#include "store/local_store.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <gtest/gtest.h>

#include "core/date.h"
#include "store/buyer_lists.h"
#include "store/check_history.h"
#include "store/schema.h"
#include "text/encoding.h"
#include "settings_test_support.h"
#include "store_test_support.h"

extern char** environ;

namespace tarvisk {
namespace {

namespace fs = std::filesystem;
using Kind = StoreProblemKind;

class LocalStoreTest : public test::ScratchStore {};

std::string fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

void nothing(SQLite::Database&) {}

int countRows(const fs::path& file, const char* table) {
    SQLite::Database db(file, SQLite::OPEN_READONLY);
    return db.execAndGet(std::string("SELECT count(*) FROM ") + table).getInt();
}

bool hasTable(SQLite::Database& db, const char* table) {
    return db.tableExists(table);
}

TEST_F(LocalStoreTest, AFreshFileGetsTheCurrentSchemaInWalMode) {
    LocalStore store(m_folder / "new" / kHistoryFileName, recorded());
    ASSERT_TRUE(store.write(nothing));
    SQLite::Database db(store.file(), SQLite::OPEN_READONLY);
    EXPECT_EQ(SchemaVersion(db), SchemaSteps().back().version);
    EXPECT_EQ(db.execAndGet("PRAGMA application_id").getInt(), kApplicationId);
    EXPECT_EQ(db.execAndGet("PRAGMA journal_mode").getString(), "wal");
    EXPECT_TRUE(hasTable(db, "checks"));
    EXPECT_TRUE(hasTable(db, "buyer_lists"));
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(LocalStoreTest, AnEmptyFileIsTakenAsVersionZero) {
    writeBytes(m_file, "");
    LocalStore store(m_file, recorded());
    EXPECT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 1));
    EXPECT_EQ(countRows(m_file, "checks"), 1);
    EXPECT_TRUE(m_problems.empty());
}

// Three versions of a made-up schema: each older file is brought up to the last, keeping its rows.
constexpr SchemaStep kTestSteps[] = {
    {1, "CREATE TABLE a (x INTEGER);"},
    {2, "CREATE TABLE b (y TEXT);"},
    {3, "ALTER TABLE a ADD COLUMN z TEXT NOT NULL DEFAULT 'new';"},
};

TEST_F(LocalStoreTest, EveryOlderSchemaIsBroughtUpToTheLastAfterACopyOfTheFileAsItWas) {
    for (int start = 0; start <= 3; ++start) {
        SCOPED_TRACE("from version " + std::to_string(start));
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder)) {
            fs::remove(entry.path());
        }
        {
            StoreOptions old = recorded();
            old.steps = std::span(kTestSteps).first(static_cast<std::size_t>(start));
            LocalStore store(m_file, old);
            ASSERT_TRUE(store.write([start](SQLite::Database& db) {
                if (start >= 1) {
                    db.exec("INSERT INTO a (x) VALUES (42)");
                }
            }));
        }
        StoreOptions options = recorded();
        options.steps = kTestSteps;
        LocalStore store(m_file, options);
        std::string z;
        ASSERT_TRUE(store.read([&](SQLite::Database& db) {
            EXPECT_EQ(SchemaVersion(db), 3);
            EXPECT_TRUE(hasTable(db, "b"));
            if (start >= 1) {
                z = db.execAndGet("SELECT z FROM a WHERE x = 42").getString();
            }
        }));
        EXPECT_EQ(z, start >= 1 ? "new" : "");
        // A file with rows of an older version is copied before it is changed; a file at the last one is not.
        const fs::path copy = m_file.string() + ".bak-v" + std::to_string(start);
        ASSERT_EQ(fs::exists(copy), start >= 1 && start < 3);
        if (fs::exists(copy)) {
            SQLite::Database kept(copy, SQLite::OPEN_READONLY);
            EXPECT_EQ(SchemaVersion(kept), start);
            EXPECT_EQ(kept.execAndGet("SELECT x FROM a").getInt(), 42);
        }
    }
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(LocalStoreTest, AStepThatFailsLeavesTheFileAtItsVersion) {
    {
        StoreOptions options = recorded();
        options.steps = std::span(kTestSteps).first(1);
        LocalStore store(m_file, options);
        ASSERT_TRUE(store.write(nothing));
    }
    const SchemaStep broken[] = {kTestSteps[0], {2, "CREATE TABLE c (x); THIS IS NOT A STATEMENT;"}};
    StoreOptions options = recorded();
    options.steps = broken;
    LocalStore store(m_file, options);
    EXPECT_FALSE(store.write(nothing));
    EXPECT_FALSE(store.read(nothing));
    EXPECT_EQ(problemKinds(), std::vector{Kind::Failed});
    SQLite::Database db(m_file, SQLite::OPEN_READONLY);
    EXPECT_EQ(SchemaVersion(db), 1);
    EXPECT_FALSE(hasTable(db, "c"));
}

TEST_F(LocalStoreTest, ANewerOrAnotherProgramsFileIsLeftAlone) {
    const struct {
        const char* name;
        const char* sql;
        Kind kind;
    } cases[] = {
        {"newer version", "CREATE TABLE checks (x); PRAGMA user_version = 99; PRAGMA application_id = 1417048939;",
         Kind::NewerVersion},
        {"another program's tables", "CREATE TABLE moz_places (url TEXT);", Kind::NotOurs},
        {"another program's id", "PRAGMA application_id = 1234;", Kind::NotOurs},
        {"a version without our id", "PRAGMA user_version = 1;", Kind::NotOurs},
    };
    static_assert(kApplicationId == 1417048939);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(m_file);
        m_problems.clear();
        SQLite::Database(m_file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE).exec(c.sql);
        const std::string before = fileBytes(m_file);
        LocalStore store(m_file, recorded());
        EXPECT_FALSE(StoreCheck(store, test::SampleFacts(u"a"), 1));
        EXPECT_FALSE(LatestCheck(store, u"a"));
        EXPECT_EQ(problemKinds(), std::vector{c.kind});
        EXPECT_EQ(fileBytes(m_file), before);
    }
}

TEST_F(LocalStoreTest, ALockHeldByAnotherProgramIsReportedOnceAndTheStoreWorksAgainAfterIt) {
    LocalStore store(m_file, recorded(100));
    ASSERT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 1));

    SQLite::Database other(m_file, SQLite::OPEN_READWRITE);
    other.exec("BEGIN EXCLUSIVE; INSERT INTO buyer_lists VALUES ('x', 'block', '', 0);");
    EXPECT_FALSE(StoreCheck(store, test::SampleFacts(u"a"), 2));
    EXPECT_FALSE(StoreCheck(store, test::SampleFacts(u"a"), 3));
    // Readers are not held up by a writer: the history still shows.
    const auto latest = LatestCheck(store, u"a");
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->checkedAt, 1);
    EXPECT_EQ(problemKinds(), std::vector{Kind::Locked});

    other.exec("ROLLBACK");
    EXPECT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 4));
    EXPECT_EQ(m_problems.size(), 1u);
}

TEST_F(LocalStoreTest, AFileLockedBeforeItsFirstUseIsReportedAndUsedOnceFree) {
    // The other program holds a fresh file in the middle of a write, before any journal mode was chosen.
    SQLite::Database other(m_file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    other.exec("BEGIN EXCLUSIVE; CREATE TABLE pending (x);");
    LocalStore store(m_file, recorded(100));
    EXPECT_FALSE(StoreCheck(store, test::SampleFacts(u"a"), 1));
    EXPECT_EQ(problemKinds(), std::vector{Kind::Locked});
    other.exec("ROLLBACK");
    EXPECT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 2));
}

TEST_F(LocalStoreTest, WhatCannotBeReadIsUnknownNeverAbsent) {
    {
        LocalStore store(m_file, recorded());
        ASSERT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 1));
        ASSERT_TRUE(PutListEntries(store, {{u"a", BuyerList::Block, u"", 0}}));
    }
    // Another program holds the file in the middle of a write, readers and all.
    SQLite::Database other(m_file, SQLite::OPEN_READWRITE);
    other.exec("PRAGMA journal_mode = DELETE; BEGIN EXCLUSIVE; DELETE FROM checks;");
    LocalStore store(m_file, recorded(100));
    const CheckContext context = RecordCheck(store, test::SampleFacts(u"a"), 2);
    EXPECT_TRUE(context.listed.unknown() && context.previous.unknown());
    EXPECT_FALSE(context.listed || context.previous || context.saved);
    ASSERT_TRUE(context.problem);
    EXPECT_EQ(context.problem->kind, Kind::Locked);
    EXPECT_TRUE(FindListEntry(store, u"a").unknown());
    other.exec("ROLLBACK");
    EXPECT_EQ(FindListEntry(store, u"a")->list, BuyerList::Block);
    EXPECT_FALSE(FindListEntry(store, u"b").unknown() || FindListEntry(store, u"b"));
}

TEST_F(LocalStoreTest, AFileWithAnythingTheProgramDidNotMakeIsRefusedAsNotOurs) {
    const struct {
        const char* sql;
        const char* named;
    } cases[] = {
        {"CREATE TRIGGER keep_safe AFTER INSERT ON checks BEGIN UPDATE checks SET verdict = 'safe'; "
         "DELETE FROM buyer_lists; END;",
         "trigger keep_safe"},
        {"CREATE VIEW recent AS SELECT * FROM checks;", "view recent"},
        {"CREATE INDEX by_note ON buyer_lists (note);", "index by_note"},
        {"CREATE TABLE extra (x);", "table extra"},
        {"ALTER TABLE checks ADD COLUMN x DEFAULT (random());", "table checks"},
        {"DROP INDEX checks_by_time;", "missing index checks_by_time"},
    };
    for (const bool whileOpen : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.sql) + (whileOpen ? " (while open)" : ""));
            fs::remove(m_file);
            m_problems.clear();
            LocalStore store(m_file, recorded());
            ASSERT_TRUE(PutListEntries(store, {{u"刷单小号", BuyerList::Block, u"", 0}}));
            std::optional<LocalStore> later;
            if (!whileOpen) {
                later.emplace(m_file, recorded());
            }
            SQLite::Database(m_file, SQLite::OPEN_READWRITE).exec(c.sql);
            LocalStore& used = whileOpen ? store : *later;
            EXPECT_FALSE(StoreCheck(used, test::SampleFacts(u"刷单小号", 12, 3, Verdict::Unsafe), 1));
            EXPECT_TRUE(FindListEntry(used, u"刷单小号").unknown());
            ASSERT_EQ(problemKinds(), std::vector{Kind::NotOurs});
            EXPECT_NE(m_problems.front().detail.find(c.named), std::string::npos) << m_problems.front().detail;
            EXPECT_EQ(countRows(m_file, "buyer_lists"), 1);
            EXPECT_EQ(countRows(m_file, "checks"), 0);
        }
    }
}

TEST_F(LocalStoreTest, TheFolderAndTheFilesAreTheUsersAloneWhateverTheUmask) {
    const auto mode = [](const fs::path& file) {
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
        return info.st_mode & 0777;
    };
    for (const mode_t mask : {022, 0, 077}) {
        const fs::path folder = m_folder / ("umask-" + std::to_string(mask));
        const fs::path file = folder / "data" / kHistoryFileName;
        const mode_t before = ::umask(mask);
        {
            LocalStore store(file, recorded());
            EXPECT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 1));
            for (const fs::path& each : {folder, folder / "data"}) {
                EXPECT_EQ(mode(each), 0700u) << each;
            }
            for (const char* suffix : {"", "-wal", "-shm"}) {
                EXPECT_EQ(mode(file.string() + suffix), 0600u) << suffix;
            }
        }
        ::umask(before);
    }
    // A file an earlier version made under the umask is made the user's alone when it is opened.
    ASSERT_EQ(::chmod(m_file.c_str(), 0644) == 0 || !fs::exists(m_file), true);
    writeBytes(m_file, "");
    ::chmod(m_file.c_str(), 0644);
    LocalStore store(m_file, recorded());
    EXPECT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 1));
    EXPECT_EQ(mode(m_file), 0600u);
}

/// A second program with the database open until it is stopped.
class OtherProgram {
public:
    OtherProgram(const fs::path& file, const fs::path& folder) : m_ready(folder / "ready"), m_stop(folder / "stop") {
        fs::remove(m_ready);
        fs::remove(m_stop);
        const std::string path = file.string();
        const std::string ready = m_ready.string();
        const std::string stop = m_stop.string();
        char* const argv[] = {
            const_cast<char*>(TARVISK_HISTORY_WRITER), const_cast<char*>(path.c_str()), const_cast<char*>("--hold"),
            const_cast<char*>(ready.c_str()),          const_cast<char*>(stop.c_str()), nullptr};
        EXPECT_EQ(::posix_spawn(&m_pid, TARVISK_HISTORY_WRITER, nullptr, nullptr, argv, environ), 0);
        for (int i = 0; i < 1000 && !fs::exists(m_ready); ++i) {
            ::usleep(10000);
        }
        EXPECT_TRUE(fs::exists(m_ready));
    }
    ~OtherProgram() { stop(); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    void stop() {
        if (m_pid != 0) {
            writeBytes(m_stop, "");
            int status = 0;
            EXPECT_EQ(::waitpid(m_pid, &status, 0), m_pid);
            m_pid = 0;
        }
    }

private:
    fs::path m_ready;
    fs::path m_stop;
    pid_t m_pid = 0;
};

/// Overwrites the first page of `table` in the database file (whose changes are all in the file, not in a journal).
void damageTable(const fs::path& file, const char* table) {
    int page = 0;
    int pageSize = 0;
    {
        SQLite::Database db(file, SQLite::OPEN_READONLY);
        SQLite::Statement root(db, "SELECT rootpage FROM sqlite_master WHERE name = ?");
        root.bind(1, table);
        EXPECT_TRUE(root.executeStep());
        page = root.getColumn(0).getInt();
        pageSize = db.execAndGet("PRAGMA page_size").getInt();
    }
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(page - 1) * pageSize);
    out << std::string(static_cast<std::size_t>(pageSize), '\xff');
}

TEST_F(LocalStoreTest, ADamagedFileIsSetAsideOnlyWhenNoOtherProgramHasItAndWhatCanBeReadIsKept) {
    {
        LocalStore store(m_file, recorded());
        std::vector<ListEntry> entries;
        for (int i = 0; i < 500; ++i) {
            entries.push_back({u"买家" + FromUtf8(std::to_string(i)), BuyerList::Block, u"备注", 0});
        }
        ASSERT_TRUE(PutListEntries(store, entries));
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), i));
        }
    }
    damageTable(m_file, "checks");
    const auto identity = [this] {
        struct stat info {};
        ::stat(m_file.c_str(), &info);
        return info.st_ino;
    };
    const auto inode = identity();
    OtherProgram other(m_file, m_folder);
    LocalStore store(m_file, recorded(100));
    EXPECT_FALSE(StoredChecks(store, {}));
    ASSERT_EQ(problemKinds(), std::vector{Kind::Corrupt});
    EXPECT_TRUE(m_problems.front().heldByOther);
    EXPECT_TRUE(m_problems.front().movedTo.empty());
    EXPECT_EQ(identity(), inode);

    other.stop();
    m_problems.clear();
    const auto checks = StoredChecks(store, {});
    ASSERT_TRUE(checks);
    EXPECT_TRUE(checks->empty());
    ASSERT_EQ(problemKinds(), std::vector{Kind::Corrupt});
    const StoreProblem& moved = m_problems.front();
    EXPECT_FALSE(moved.movedTo.empty());
    EXPECT_EQ(moved.salvagedRows, 500u);
    EXPECT_NE(identity(), inode);
    EXPECT_EQ(ListEntries(store)->size(), 500u);
    EXPECT_NE(ToUtf8(StoreProblemMessage(moved)).find("500"), std::string::npos);
}

/// Runs the rest of a test as another user when it runs as root, for whom no file is read-only; the
/// scratch folder is handed to that user first.
class AsOrdinaryUser {
public:
    explicit AsOrdinaryUser(const fs::path& folder) {
        if (::geteuid() == 0) {
            EXPECT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
            EXPECT_EQ(::setegid(kNobody), 0);
            EXPECT_EQ(::seteuid(kNobody), 0);
            m_switched = true;
        }
    }
    ~AsOrdinaryUser() {
        if (m_switched) {
            EXPECT_EQ(::seteuid(0), 0);
            EXPECT_EQ(::setegid(0), 0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    bool m_switched = false;
};

TEST_F(LocalStoreTest, AReadOnlyFileStillGivesThePreviousCheckAndSaysOnceThatNothingIsSaved) {
    const AsOrdinaryUser user(m_folder);
    {
        LocalStore store(m_file, recorded());
        ASSERT_TRUE(StoreCheck(store, test::SampleFacts(u"a", 12), 1));
    }
    ASSERT_EQ(::chmod(m_file.c_str(), 0444), 0);
    LocalStore store(m_file, recorded());
    const CheckContext first = RecordCheck(store, test::SampleFacts(u"a", 40), 2);
    ASSERT_TRUE(first.previous);
    EXPECT_EQ(first.previous->facts.buyerCredit, 12);
    EXPECT_FALSE(first.saved);
    EXPECT_FALSE(RecordCheck(store, test::SampleFacts(u"a", 41), 3).saved);
    EXPECT_EQ(problemKinds(), std::vector{Kind::ReadOnly});
    ::chmod(m_file.c_str(), 0644);
}

TEST_F(LocalStoreTest, AFolderThatCannotBeMadeIsReportedOnce) {
    writeBytes(m_folder / "plain-file", "x");
    LocalStore store(m_folder / "plain-file" / "sub" / kHistoryFileName, recorded());
    EXPECT_FALSE(StoreCheck(store, test::SampleFacts(u"a"), 1));
    EXPECT_FALSE(LatestCheck(store, u"a"));
    EXPECT_EQ(problemKinds(), std::vector{Kind::CannotOpen});
}

TEST_F(LocalStoreTest, ADamagedFileIsKeptUnderAnotherNameAndAFreshOneTakesTheCheck) {
    std::string valid;
    {
        LocalStore store(m_file, recorded());
        ASSERT_TRUE(StoreCheck(store, test::SampleFacts(u"a"), 1));
    }
    valid = fileBytes(m_file);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"not a database", std::string(5000, 'x')},
        {"cut after the header", valid.substr(0, 100)},
        {"a damaged header", "SQLite format 3" + std::string(1, '\0') + std::string(4080, '\xff')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder)) {
            fs::remove(entry.path());
        }
        m_problems.clear();
        writeBytes(m_file, c.bytes);
        LocalStore store(m_file, recorded());
        EXPECT_TRUE(StoreCheck(store, test::SampleFacts(u"b"), 2));
        EXPECT_TRUE(StoreCheck(store, test::SampleFacts(u"b"), 3));
        ASSERT_EQ(problemKinds(), std::vector{Kind::Corrupt});
        const fs::path kept = m_problems.front().movedTo;
        EXPECT_EQ(kept.parent_path(), m_folder);
        EXPECT_EQ(kept.filename().string().rfind("history.sqlite3.corrupt-", 0), 0u) << kept;
        EXPECT_EQ(fileBytes(kept), c.bytes);
        EXPECT_EQ(countRows(m_file, "checks"), 2);
        EXPECT_NE(ToUtf8(StoreProblemMessage(m_problems.front())).find(kept.string()), std::string::npos);
    }
}

TEST_F(LocalStoreTest, TwoProgramsWritingAtOnceLoseNothing) {
    {
        LocalStore store(m_file, recorded());
        ASSERT_TRUE(store.write(nothing));
    }
    constexpr int kEach = 150;
    std::vector<pid_t> writers;
    for (const char* account : {"甲", "乙"}) {
        const std::string file = m_file.string();
        const std::string count = std::to_string(kEach);
        char* const argv[] = {const_cast<char*>(TARVISK_HISTORY_WRITER), const_cast<char*>(file.c_str()),
                              const_cast<char*>(account), const_cast<char*>(count.c_str()), nullptr};
        pid_t writer = 0;
        ASSERT_EQ(::posix_spawn(&writer, TARVISK_HISTORY_WRITER, nullptr, nullptr, argv, environ), 0);
        writers.push_back(writer);
    }
    // This program writes and reads meanwhile, as the window does while tarvisk-cli runs.
    LocalStore store(m_file, recorded(10000));
    for (int i = 0; i < kEach; ++i) {
        EXPECT_TRUE(RecordCheck(store, test::SampleFacts(u"丙", i), UnixTimeNow()).saved);
    }
    for (const pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(countRows(m_file, "checks"), 3 * kEach);
    for (const char16_t* account : {u"甲", u"乙", u"丙"}) {
        const auto checks = StoredChecks(store, {account});
        ASSERT_TRUE(checks);
        EXPECT_EQ(checks->size(), static_cast<std::size_t>(kEach));
        EXPECT_EQ(checks->front().facts.buyerCredit, kEach - 1) << ToUtf8(account);
    }
    EXPECT_TRUE(m_problems.empty());
}

TEST(DataFolder, FollowsXdgDataHomeOrTheChosenFolder) {
    const test::ScopedEnv home("HOME", "/home/seller");
    {
        const test::ScopedEnv data("XDG_DATA_HOME", "/x/data");
        EXPECT_EQ(HistoryFilePath(), fs::path("/x/data/Tarvisk/history.sqlite3"));
        SetDataFolder("/tmp/elsewhere");
        EXPECT_EQ(HistoryFilePath(), fs::path("/tmp/elsewhere/history.sqlite3"));
        SetDataFolder({});
    }
    for (const char* unset : {static_cast<const char*>(nullptr), "relative/data"}) {
        const test::ScopedEnv data("XDG_DATA_HOME", unset);
        EXPECT_EQ(DataFolder(), fs::path("/home/seller/.local/share/Tarvisk"));
    }
}

} // namespace
} // namespace tarvisk
