#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>

#include "store/schema.h"

namespace SQLite {
class Database;
}

// The local database (SQLite): the history of reputation checks and ranking walks and the buyer lists, one file in the
// per-user data folder, shared by every program of the suite (the desktop programs and tarvisk-cli may
// write at the same time: WAL journal, a busy timeout, every write in its own transaction).
//
// The database is a convenience beside the jobs, never a condition of them: when the file is locked,
// read-only, damaged, made by a newer version or not the program's own, the store says so once (for each
// kind of problem, through the problem sink) and every later call reports failure with its problem, so a check
// still shows and prints its answer, and what could not be read is shown as unknown, never as absent.
//
// The file is the program's alone: it is opened in SQLite's defensive mode with an untrusted schema, and its
// schema (tables, indexes, triggers, views) must be exactly the one the program made; anything else is refused
// as not ours. The folder it makes is 0700 and the database and its journals 0600, whatever the umask. A file
// that cannot be written is still read. A damaged file is set aside under a new name only while no other
// program has it open; what can still be read of it (the buyer lists first) goes into the fresh file. Before a
// migration the file is copied to history.sqlite3.bak-vN (N: its version).
//
// Threads: a LocalStore is one connection; give each thread its own (they share the file safely).

namespace tarvisk {

/// The database's file name in the data folder.
inline constexpr char kHistoryFileName[] = "history.sqlite3";

/// The per-user data folder: $XDG_DATA_HOME/Tarvisk, else ~/.local/share/Tarvisk.
std::filesystem::path UserDataFolder();
/// The data folder of demo mode: the folder "demo" in UserDataFolder(), so that what demo runs store never mixes
/// with the user's own history and lists.
std::filesystem::path DemoDataFolder();
/// The data folder a program starts with: `chosen` (--data-dir) when not empty, else DemoDataFolder() in demo mode,
/// else UserDataFolder().
std::filesystem::path StartDataFolder(const std::filesystem::path& chosen, bool demo);
/// Uses `folder` as the data folder from now on (--data-dir, tests); an empty path goes back to UserDataFolder().
void SetDataFolder(const std::filesystem::path& folder);
std::filesystem::path DataFolder();
/// DataFolder() / "history.sqlite3".
std::filesystem::path HistoryFilePath();

enum class StoreProblemKind {
    CannotOpen,   ///< the folder or the file cannot be made or opened
    Locked,       ///< another program held the database for longer than the busy timeout
    ReadOnly,     ///< the file or its folder cannot be written; what is stored can still be read
    Corrupt,      ///< the file is damaged or not a database; kept under a new name when that was possible
    NewerVersion, ///< a newer version of the program made the file; it is left alone
    NotOurs,      ///< the file is another program's database, or holds what the program never made; left alone
    Full,         ///< the disk is full
    Failed,       ///< any other failure (an input/output error)
};

struct StoreProblem {
    StoreProblemKind kind = StoreProblemKind::Failed;
    std::filesystem::path file;
    std::filesystem::path movedTo; ///< with Corrupt: where the damaged file was kept (empty: not moved)
    bool heldByOther = false;      ///< with Corrupt: not moved because another program has the file open
    std::size_t salvagedRows = 0;  ///< with Corrupt and moved: the rows read from it into the fresh file
    std::string detail;            ///< the database library's own words, or what was found, for the curious
};

/// The title of the store's messages.
inline constexpr char16_t kStoreProblemTitle[] = u"历史记录";
/// The user's message for a problem: what happened, what it means for the records, the file.
std::u16string StoreProblemMessage(const StoreProblem& problem);

/// What the store holds of one thing: a value, nothing, or not known because the database could not be read.
/// Tested like an optional (true when a value is stored); unknown() tells "could not read" from "nothing".
template <typename T> class StoredValue {
public:
    /// Nothing is stored.
    StoredValue() = default;
    StoredValue(std::nullopt_t) {}
    StoredValue(T value) : m_value(std::move(value)) {}
    StoredValue(std::optional<T> value) : m_value(std::move(value)) {}
    /// Not known: the database could not be read.
    static StoredValue Unknown(StoreProblem problem) {
        StoredValue result;
        result.m_problem = std::move(problem);
        return result;
    }

    explicit operator bool() const { return m_value.has_value(); }
    bool has_value() const { return m_value.has_value(); }
    const T& operator*() const { return *m_value; }
    const T* operator->() const { return &*m_value; }
    const std::optional<T>& value() const { return m_value; }
    bool unknown() const { return m_problem.has_value(); }
    /// Why it is not known.
    const std::optional<StoreProblem>& problem() const { return m_problem; }

private:
    std::optional<T> m_value;
    std::optional<StoreProblem> m_problem;
    std::uint64_t m_lockedWrites = 0;
};

/// Told each kind of problem once, and each time a damaged file is set aside.
using StoreProblemSink = std::function<void(const StoreProblem&)>;

struct StoreOptions {
    /// How long a call waits for another program's write before it gives up as Locked.
    int busyTimeoutMs = 3000;
    /// Empty means ShowMessage(StoreProblemMessage(...), kStoreProblemTitle).
    StoreProblemSink problems;
    /// The schema; tests give their own steps.
    std::span<const SchemaStep> steps = SchemaSteps();
};

/// One connection to the database file, opened (and brought up to the current schema) on first use. Not
/// thread-safe: one thread uses it at a time.
class LocalStore {
public:
    explicit LocalStore(std::filesystem::path file, StoreOptions options = {});
    ~LocalStore();
    LocalStore(const LocalStore&) = delete;
    LocalStore& operator=(const LocalStore&) = delete;

    /// Runs `work` inside a write transaction (taken at once, so two writers queue instead of failing) and
    /// commits when it returns. False when the database cannot be used or the work fails on it: nothing is
    /// changed, and the problem is reported. Throwing anything but a database error passes through.
    bool write(const std::function<void(SQLite::Database&)>& work);
    /// Runs `work` on the database for reading, in one read transaction (so that it reads one state of the file).
    /// False when the database cannot be read (reported).
    bool read(const std::function<void(SQLite::Database&)>& work);
    /// The problem of the last call, none when it succeeded.
    const std::optional<StoreProblem>& problem() const { return m_problem; }
    /// How many writes so far found the database held by another program for longer than the busy timeout.
    std::uint64_t lockedWrites() const { return m_lockedWrites; }
    /// How long later calls wait for another program's write (0: they fail at once while it writes).
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return m_options.busyTimeoutMs; }
    /// A read of one thing: its value (none when nothing is stored), or unknown with the problem.
    template <typename T> StoredValue<T> lookup(const std::function<std::optional<T>(SQLite::Database&)>& find) {
        std::optional<T> found;
        if (!read([&](SQLite::Database& db) { found = find(db); })) {
            return StoredValue<T>::Unknown(*m_problem);
        }
        return StoredValue<T>(std::move(found));
    }

    const std::filesystem::path& file() const { return m_file; }

private:
    enum class Access { Read, Write };
    bool run(Access access, const std::function<void(SQLite::Database&)>& work);
    bool ensureOpen();
    void openAndMigrate();
    std::unique_ptr<SQLite::Database> openFile();
    void checkSchema(SQLite::Database& db, int version);
    void keepCopy(SQLite::Database& db, int version);
    /// Sets the damaged file aside and starts a fresh one with what could be read of it; false (with `problem`
    /// saying why) when the file stays where it is.
    bool moveAside(StoreProblem& problem);
    void report(StoreProblem problem);
    void report(StoreProblemKind kind, const std::string& detail = {});

    std::filesystem::path m_file;
    StoreOptions m_options;
    std::unique_ptr<SQLite::Database> m_db;
    /// Opened for reading only, and why: the file or its folder cannot be written (ReadOnly), or the disk is full.
    std::optional<StoreProblemKind> m_unwritable;
    /// The schema's change counter when it was last compared with the program's.
    int m_schemaCookie = 0;
    /// Device and inode of the file last opened: calls go on only while the path is still that file, and a damaged
    /// file is moved aside only while it is.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> m_identity;
    std::set<StoreProblemKind> m_reported;
    std::optional<StoreProblem> m_problem;
    std::uint64_t m_lockedWrites = 0;
};

} // namespace tarvisk
