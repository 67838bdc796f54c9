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
// kind of problem, through the problem sink) and every later call simply reports failure, so a check still
// shows and prints its answer. A damaged file is kept under a new name and a fresh one is started.

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
    NotOurs,      ///< the file is another program's database; it is left alone
    Failed,       ///< any other failure (a full disk, an input/output error)
};

struct StoreProblem {
    StoreProblemKind kind = StoreProblemKind::Failed;
    std::filesystem::path file;
    std::filesystem::path movedTo; ///< with Corrupt: where the damaged file was kept (empty: not moved)
    std::string detail;            ///< the database library's own words, for the curious
};

/// The title of the store's messages.
inline constexpr char16_t kStoreProblemTitle[] = u"历史记录";
/// The user's message for a problem: what happened, what it means for the records, the file.
std::u16string StoreProblemMessage(const StoreProblem& problem);

/// Told each kind of problem once.
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
    /// Runs `work` on the database for reading. False when the database cannot be read (reported).
    bool read(const std::function<void(SQLite::Database&)>& work);

    const std::filesystem::path& file() const { return m_file; }

private:
    enum class Access { Read, Write };
    bool run(Access access, const std::function<void(SQLite::Database&)>& work);
    bool ensureOpen();
    void openAndMigrate();
    bool moveAside(const std::string& detail);
    void report(StoreProblemKind kind, const std::string& detail = {}, const std::filesystem::path& movedTo = {});

    std::filesystem::path m_file;
    StoreOptions m_options;
    std::unique_ptr<SQLite::Database> m_db;
    /// Device and inode of the file last opened: a damaged file is moved aside only while it is still that one.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> m_identity;
    std::set<StoreProblemKind> m_reported;
};

} // namespace tarvisk
