#include "store/local_store.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <SQLiteCpp/Backup.h>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include "core/files.h"
#include "core/hooks.h"
#include "text/encoding.h"

namespace tarvisk {

namespace fs = std::filesystem;

namespace {

std::mutex& folderMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<fs::path>& folderOverride() {
    static std::optional<fs::path> folder;
    return folder;
}

/// A file the store will not use, found while opening it.
struct Refusal {
    StoreProblemKind kind;
    std::string detail;
};

StoreProblemKind problemKind(const SQLite::Exception& error) {
    switch (error.getErrorCode() & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreProblemKind::Locked;
    case SQLITE_READONLY:
        return StoreProblemKind::ReadOnly;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return StoreProblemKind::Corrupt;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return StoreProblemKind::CannotOpen;
    case SQLITE_FULL:
        return StoreProblemKind::Full;
    default:
        return StoreProblemKind::Failed;
    }
}

using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;

/// The file's identity, to tell whether the file at a path is still the one that was opened.
std::optional<FileIdentity> fileIdentity(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;
/// The journals SQLite keeps beside a database file.
constexpr const char* kJournalSuffixes[] = {"-wal", "-shm", "-journal"};

fs::path suffixed(const fs::path& file, const std::string& suffix) {
    return fs::path(file.string() + suffix);
}

/// Makes the missing folders of `folder`, each readable by the user alone whatever the umask. Folders that exist
/// are left as they are: one chosen with --data-dir may be shared on purpose.
std::error_code makePrivateFolders(const fs::path& folder) {
    std::vector<fs::path> missing;
    std::error_code error;
    for (fs::path at = folder; !at.empty() && !fs::exists(at, error); at = at.parent_path()) {
        missing.push_back(at);
        if (at == at.parent_path()) {
            break;
        }
    }
    for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
        if (::mkdir(at->c_str(), kPrivateFolderMode) != 0) {
            if (errno != EEXIST) {
                return {errno, std::generic_category()};
            }
        } else {
            ::chmod(at->c_str(), kPrivateFolderMode);
        }
    }
    return {};
}

/// Makes `file` empty and readable by the user alone when it does not exist, so that SQLite (which gives its
/// journals the database's mode) never makes it under the umask.
void makePrivateFile(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode);
    if (fd >= 0) {
        ::fchmod(fd, kPrivateFileMode);
        ::close(fd);
    }
}

/// Gives the database and its journals the mode 0600 (files of older versions were made under the umask).
void restrictModes(const fs::path& file) {
    std::vector<fs::path> files{file};
    for (const char* suffix : kJournalSuffixes) {
        files.push_back(suffixed(file, suffix));
    }
    for (const fs::path& each : files) {
        struct stat info {};
        if (::stat(each.c_str(), &info) == 0 && (info.st_mode & 0777) != kPrivateFileMode) {
            ::chmod(each.c_str(), kPrivateFileMode);
        }
    }
}

/// The URI that opens `file` for reading without locks or journals: what a WAL database on a read-only file system
/// needs, since its shared-memory file can be neither made nor written there.
std::string immutableUri(const fs::path& file) {
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const unsigned char c : fs::absolute(file).string()) {
        if (std::isalnum(c) != 0 || std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri + "?immutable=1";
}

/// No statement of the file's schema may write to the file behind SQLite's back or run a function with side
/// effects: the schema is checked as well, this is the second wall.
void harden(SQLite::Database& db) {
    sqlite3_db_config(db.getHandle(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db.getHandle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

/// A free name beside `file` for keeping a damaged copy: "history.sqlite3.corrupt-20240501-140322".
fs::path corruptName(const fs::path& file) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = file.string() + ".corrupt-" + stamp;
    fs::path candidate = base;
    std::error_code error;
    for (int n = 2; fs::exists(candidate, error) || fs::exists(suffixed(candidate, "-wal"), error); ++n) {
        candidate = base + "-" + std::to_string(n);
    }
    return candidate;
}

/// One object of a schema: its type, name, table and statement.
using SchemaObject = std::array<std::string, 4>;

std::vector<SchemaObject> schemaObjects(SQLite::Database& db) {
    std::vector<SchemaObject> objects;
    SQLite::Statement query(db,
                            "SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_master ORDER BY type, name");
    while (query.executeStep()) {
        objects.push_back({query.getColumn(0).getString(), query.getColumn(1).getString(),
                           query.getColumn(2).getString(), query.getColumn(3).getString()});
    }
    return objects;
}

/// The schema the program makes at `version`, as SQLite records it.
std::vector<SchemaObject> madeSchema(std::span<const SchemaStep> steps, int version) {
    std::size_t count = 0;
    while (count < steps.size() && steps[count].version <= version) {
        ++count;
    }
    SQLite::Database db(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    ApplySchemaSteps(db, steps.first(count));
    return schemaObjects(db);
}

/// What `found` holds beyond `made` or lacks of it, for the message: "trigger keep_safe".
std::string schemaDifference(const std::vector<SchemaObject>& found, const std::vector<SchemaObject>& made) {
    for (const auto& [from, other, word] : {std::tuple{&found, &made, ""}, std::tuple{&made, &found, "missing "}}) {
        for (const SchemaObject& object : *from) {
            if (std::find(other->begin(), other->end(), object) == other->end()) {
                return word + object[0] + " " + object[1];
            }
        }
    }
    return {};
}

/// The exclusive lock of a database file as SQLite itself takes it (through its file layer, so that connections of
/// this program count as well as other programs'). Held only when no connection anywhere has the file open: one
/// in WAL mode keeps a shared lock for as long as it is open.
class ExclusiveFileLock {
public:
    explicit ExclusiveFileLock(const fs::path& file)
        : m_vfs(sqlite3_vfs_find(nullptr)),
          m_name(sqlite3_create_filename(file.c_str(), suffixed(file, "-journal").c_str(),
                                         suffixed(file, "-wal").c_str(), 0, nullptr)),
          m_file(static_cast<sqlite3_file*>(sqlite3_malloc(m_vfs->szOsFile))) {
        if (m_name == nullptr || m_file == nullptr) {
            return;
        }
        std::memset(m_file, 0, static_cast<std::size_t>(m_vfs->szOsFile));
        int flags = 0;
        const int opened = m_vfs->xOpen(m_vfs, m_name, m_file, SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READWRITE, &flags);
        if (opened != SQLITE_OK || m_file->pMethods == nullptr) {
            return;
        }
        m_held = std::all_of(std::begin(kSteps), std::end(kSteps),
                             [this](int level) { return m_file->pMethods->xLock(m_file, level) == SQLITE_OK; });
    }
    ~ExclusiveFileLock() {
        if (m_file != nullptr && m_file->pMethods != nullptr) {
            m_file->pMethods->xUnlock(m_file, SQLITE_LOCK_NONE);
            m_file->pMethods->xClose(m_file);
        }
        sqlite3_free(m_file);
        sqlite3_free_filename(m_name);
    }
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

    bool held() const { return m_held; }

private:
    static constexpr int kSteps[] = {SQLITE_LOCK_SHARED, SQLITE_LOCK_RESERVED, SQLITE_LOCK_EXCLUSIVE};

    sqlite3_vfs* m_vfs;
    sqlite3_filename m_name;
    sqlite3_file* m_file;
    bool m_held = false;
};

void bindValue(SQLite::Statement& statement, int index, const SQLite::Column& value) {
    switch (value.getType()) {
    case SQLITE_INTEGER:
        statement.bind(index, value.getInt64());
        break;
    case SQLITE_FLOAT:
        statement.bind(index, value.getDouble());
        break;
    case SQLITE_TEXT:
        statement.bind(index, value.getString());
        break;
    case SQLITE_BLOB:
        statement.bind(index, value.getBlob(), value.getBytes());
        break;
    default:
        statement.bind(index);
        break;
    }
}

std::vector<std::string> columnNames(SQLite::Database& db, const std::string& table) {
    std::vector<std::string> names;
    SQLite::Statement query(db, "SELECT name FROM pragma_table_info(?)");
    query.bind(1, table);
    while (query.executeStep()) {
        names.push_back(query.getColumn(0).getString());
    }
    return names;
}

/// Copies the rows of `table` that can be read from the damaged `from` into `to`: from the first row on until a
/// damaged page stops the scan, then from the last row back to it. Returns how many rows went in.
std::size_t copyReadableRows(SQLite::Database& from, SQLite::Database& to, const std::string& table) {
    const std::vector<std::string> fresh = columnNames(to, table);
    std::string columns;
    std::string marks;
    for (const std::string& name : columnNames(from, table)) {
        if (std::find(fresh.begin(), fresh.end(), name) != fresh.end()) {
            columns += (columns.empty() ? "\"" : ", \"") + name + "\"";
            marks += marks.empty() ? "?" : ", ?";
        }
    }
    if (columns.empty()) {
        return 0;
    }
    SQLite::Statement insert(to, "INSERT OR IGNORE INTO \"" + table + "\" (" + columns + ") VALUES (" + marks + ")");
    std::size_t copied = 0;
    std::optional<std::int64_t> last;
    const auto copy = [&](const std::string& order) {
        SQLite::Statement rows(from, "SELECT rowid, " + columns + " FROM \"" + table + "\"" + order);
        if (last) {
            rows.bind(1, *last);
        }
        while (rows.executeStep()) {
            for (int i = 1; i < rows.getColumnCount(); ++i) {
                bindValue(insert, i, rows.getColumn(i));
            }
            try {
                copied += static_cast<std::size_t>(insert.exec());
            } catch (const SQLite::Exception&) {
                // A row the fresh schema refuses (a broken reference, a value out of its range) stays behind.
            }
            insert.reset();
            if (order.find("DESC") == std::string::npos) {
                last = rows.getColumn(0).getInt64();
            }
        }
    };
    try {
        copy(" ORDER BY rowid");
    } catch (const SQLite::Exception&) {
        try {
            copy(last ? " WHERE rowid > ? ORDER BY rowid DESC" : " ORDER BY rowid DESC");
        } catch (const SQLite::Exception&) {
        }
    }
    return copied;
}

/// Copies what can be read of the damaged file `from` (the program's own) into the fresh database `to`, table by
/// table in the order they were made (a table's references before it). Returns how many rows went in.
std::size_t salvageRows(const fs::path& from, SQLite::Database& to) {
    std::size_t copied = 0;
    try {
        SQLite::Database damaged(from, SQLite::OPEN_READONLY);
        harden(damaged);
        if (damaged.execAndGet("PRAGMA application_id").getInt() != kApplicationId) {
            return 0;
        }
        std::vector<std::string> tables;
        SQLite::Statement query(to, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
        while (query.executeStep()) {
            tables.push_back(query.getColumn(0).getString());
        }
        for (const std::string& table : tables) {
            try {
                SQLite::Statement exists(damaged, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
                exists.bind(1, table);
                if (!exists.executeStep()) {
                    continue;
                }
                SQLite::Transaction transaction(to, SQLite::TransactionBehavior::IMMEDIATE);
                copied += copyReadableRows(damaged, to, table);
                transaction.commit();
            } catch (const SQLite::Exception&) {
                // The table's definition cannot be read: the next table may still be.
            }
        }
    } catch (const SQLite::Exception&) {
        // Not a database any more: nothing can be read from it.
    }
    return copied;
}

} // namespace

fs::path UserDataFolder() {
    return UserFolder("XDG_DATA_HOME", ".local/share");
}

fs::path DemoDataFolder() {
    return UserDataFolder() / "demo";
}

fs::path StartDataFolder(const fs::path& chosen, bool demo) {
    if (!chosen.empty()) {
        return chosen;
    }
    return demo ? DemoDataFolder() : UserDataFolder();
}

void SetDataFolder(const fs::path& folder) {
    std::lock_guard lock(folderMutex());
    folderOverride() = folder.empty() ? std::nullopt : std::optional<fs::path>(folder);
}

fs::path DataFolder() {
    std::lock_guard lock(folderMutex());
    return folderOverride().value_or(UserDataFolder());
}

fs::path HistoryFilePath() {
    return DataFolder() / kHistoryFileName;
}

std::u16string StoreProblemMessage(const StoreProblem& problem) {
    std::u16string text;
    switch (problem.kind) {
    case StoreProblemKind::CannotOpen:
        text = u"无法打开历史记录库，查询记录和黑白名单暂时不能保存。";
        break;
    case StoreProblemKind::Locked:
        text = u"历史记录库正被另一个程序占用，等候后仍未释放，这次的记录没有保存。";
        break;
    case StoreProblemKind::ReadOnly:
        text = u"历史记录库是只读的，新的记录不能保存（已有的记录仍可查看）。";
        break;
    case StoreProblemKind::Corrupt:
        if (problem.heldByOther) {
            text = u"历史记录库已损坏，但另一个程序正打开着它，所以没有把它改名保存。请关闭其他用到它的程序"
                   u"（tarvisk、tarvix、tarvisk-cli）后再试。";
        } else if (problem.movedTo.empty()) {
            text = u"历史记录库已损坏，不能使用。请把这个文件移走，程序会新建一个历史记录库。";
        } else {
            text = u"历史记录库已损坏。损坏的文件已改名保存为：\n" + FromUtf8(problem.movedTo.string()) +
                   (problem.salvagedRows > 0
                        ? u"\n程序新建了一个历史记录库，并从损坏的文件中读出" +
                              FromUtf8(std::to_string(problem.salvagedRows)) + u"条记录（黑白名单和历史记录）放了进去。"
                        : u"\n程序新建了一个空的历史记录库（损坏的文件中没有能读出的记录）。");
        }
        break;
    case StoreProblemKind::NewerVersion:
        text = u"历史记录库是较新版本的程序建立的，本程序不能使用它，这次的记录没有保存。";
        break;
    case StoreProblemKind::NotOurs:
        text = u"历史记录库不是本程序建立的，或被改动过（例如加了触发器或视图），本程序不会使用或改动它，"
               u"这次的记录没有保存。";
        break;
    case StoreProblemKind::Full:
        text = u"磁盘已满，这次的记录没有保存（已有的记录仍可查看）。";
        break;
    case StoreProblemKind::Failed:
        text = u"历史记录库出错，这次的记录没有保存。";
        break;
    }
    text += u"\n" + FromUtf8(problem.file.string());
    if (!problem.detail.empty()) {
        text += u"\n（" + FromUtf8(problem.detail) + u"）";
    }
    return text;
}

LocalStore::LocalStore(fs::path file, StoreOptions options) : m_file(std::move(file)), m_options(std::move(options)) {
    if (!m_options.problems) {
        m_options.problems = [](const StoreProblem& problem) {
            ShowMessage(StoreProblemMessage(problem), kStoreProblemTitle);
        };
    }
}

LocalStore::~LocalStore() = default;

bool LocalStore::write(const std::function<void(SQLite::Database&)>& work) {
    const bool written = run(Access::Write, work);
    if (!written && m_problem && m_problem->kind == StoreProblemKind::Locked) {
        ++m_lockedWrites;
    }
    return written;
}

void LocalStore::setBusyTimeout(int milliseconds) {
    m_options.busyTimeoutMs = milliseconds;
    if (m_db) {
        m_db->setBusyTimeout(milliseconds);
    }
}

bool LocalStore::read(const std::function<void(SQLite::Database&)>& work) {
    return run(Access::Read, work);
}

bool LocalStore::run(Access access, const std::function<void(SQLite::Database&)>& work) {
    // A damaged file found on the way is moved aside once and the work done again on a fresh one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureOpen()) {
            return false;
        }
        if (access == Access::Write && m_unwritable) {
            report(*m_unwritable);
            return false;
        }
        try {
            SQLite::Transaction transaction(*m_db, access == Access::Write ? SQLite::TransactionBehavior::IMMEDIATE
                                                                           : SQLite::TransactionBehavior::DEFERRED);
            // Another program may have changed the schema since it was compared: compare it again.
            if (const int cookie = m_db->execAndGet("PRAGMA schema_version").getInt(); cookie != m_schemaCookie) {
                checkSchema(*m_db, SchemaVersion(*m_db));
                m_schemaCookie = cookie;
            }
            work(*m_db);
            transaction.commit();
            m_problem.reset();
            return true;
        } catch (const Refusal& refusal) {
            m_db.reset();
            report(refusal.kind, refusal.detail);
            return false;
        } catch (const SQLite::Exception& error) {
            StoreProblem problem{problemKind(error), m_file, {}, false, 0, error.what()};
            if (problem.kind == StoreProblemKind::Corrupt && attempt == 0 && moveAside(problem)) {
                continue;
            }
            report(problem);
            return false;
        }
    }
    return false;
}

bool LocalStore::ensureOpen() {
    if (m_db && fileIdentity(m_file) != m_identity) {
        // Another program set the file aside or replaced it: what it holds now is at the path.
        m_db.reset();
    }
    for (int attempt = 0; attempt < 2 && !m_db; ++attempt) {
        if (const std::error_code error = makePrivateFolders(m_file.parent_path())) {
            report(StoreProblemKind::CannotOpen, error.message());
            return false;
        }
        try {
            openAndMigrate();
        } catch (const Refusal& refusal) {
            m_db.reset();
            report(refusal.kind, refusal.detail);
            return false;
        } catch (const SQLite::Exception& error) {
            m_db.reset();
            StoreProblem problem{problemKind(error), m_file, {}, false, 0, error.what()};
            if (problem.kind == StoreProblemKind::Corrupt && attempt == 0 && moveAside(problem)) {
                continue;
            }
            report(problem);
            return false;
        }
    }
    return m_db != nullptr;
}

std::unique_ptr<SQLite::Database> LocalStore::openFile() {
    makePrivateFile(m_file);
    auto db = std::make_unique<SQLite::Database>(m_file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE,
                                                 m_options.busyTimeoutMs);
    m_identity = fileIdentity(m_file);
    harden(*db);
    m_unwritable.reset();
    try {
        // The first read opens the journals: a WAL file on a read-only file system, or on a full disk, fails here.
        db->execAndGet("SELECT count(*) FROM sqlite_master");
    } catch (const SQLite::Exception& error) {
        const int extended = error.getExtendedErrorCode();
        const bool full = (extended & 0xFF) == SQLITE_FULL || extended == SQLITE_IOERR_SHMSIZE;
        const bool readOnly = (extended & 0xFF) == SQLITE_CANTOPEN || (extended & 0xFF) == SQLITE_READONLY ||
                              extended == SQLITE_IOERR_SHMOPEN;
        if (!(full || readOnly) || !fs::exists(m_file)) {
            throw;
        }
        // No program can write the file now: read it as it is, without the journals it cannot have.
        db = std::make_unique<SQLite::Database>(immutableUri(m_file), SQLite::OPEN_READONLY | SQLite::OPEN_URI,
                                                m_options.busyTimeoutMs);
        harden(*db);
        m_unwritable = full ? StoreProblemKind::Full : StoreProblemKind::ReadOnly;
    }
    if (!m_unwritable && sqlite3_db_readonly(db->getHandle(), "main") == 1) {
        m_unwritable = StoreProblemKind::ReadOnly;
    }
    return db;
}

void LocalStore::openAndMigrate() {
    auto db = openFile();
    // The first statement reads the file's header: a file that is not a database fails here.
    const int applicationId = db->execAndGet("PRAGMA application_id").getInt();
    const int version = SchemaVersion(*db);
    const int latest = m_options.steps.empty() ? 0 : m_options.steps.back().version;
    if (applicationId != kApplicationId && (applicationId != 0 || version != 0)) {
        throw Refusal{StoreProblemKind::NotOurs, {}};
    }
    if (version > latest) {
        throw Refusal{StoreProblemKind::NewerVersion, "version " + std::to_string(version)};
    }
    checkSchema(*db, version);
    if (!m_unwritable) {
        // Readers and a writer of the two programs then work side by side.
        db->tryExec("PRAGMA journal_mode = WAL");
    }
    db->exec("PRAGMA foreign_keys = ON");
    if (version < latest && !m_unwritable) {
        if (version > 0) {
            keepCopy(*db, version);
        }
        SQLite::Transaction transaction(*db, SQLite::TransactionBehavior::IMMEDIATE);
        ApplySchemaSteps(*db, m_options.steps);
        transaction.commit();
    }
    m_schemaCookie = db->execAndGet("PRAGMA schema_version").getInt();
    if (!m_unwritable) {
        restrictModes(m_file);
    }
    m_db = std::move(db);
}

void LocalStore::checkSchema(SQLite::Database& db, int version) {
    const std::string difference = schemaDifference(schemaObjects(db), madeSchema(m_options.steps, version));
    if (!difference.empty()) {
        throw Refusal{StoreProblemKind::NotOurs, difference};
    }
}

void LocalStore::keepCopy(SQLite::Database& db, int version) {
    const fs::path copy = suffixed(m_file, ".bak-v" + std::to_string(version));
    const fs::path partial = suffixed(copy, ".partial");
    std::error_code error;
    fs::remove(partial, error);
    makePrivateFile(partial);
    bool done = false;
    {
        SQLite::Database target(partial, SQLite::OPEN_READWRITE);
        done = SQLite::Backup(target, db).executeStep() == SQLITE_DONE;
    }
    if (done) {
        fs::rename(partial, copy, error);
    }
    if (!done || error) {
        fs::remove(partial, error);
        throw Refusal{StoreProblemKind::Failed, "cannot keep a copy before the upgrade: " + copy.string()};
    }
}

bool LocalStore::moveAside(StoreProblem& problem) {
    m_db.reset();
    const auto identity = fileIdentity(m_file);
    if (m_unwritable || !identity) {
        return false;
    }
    if (identity != m_identity) {
        // Another program has already put a fresh file in its place: use that one.
        return true;
    }
    fs::path kept;
    {
        const ExclusiveFileLock lock(m_file);
        if (!lock.held()) {
            // Its later writes would go into the copy set aside and be reported as saved.
            problem.heldByOther = true;
            return false;
        }
        if (fileIdentity(m_file) != m_identity) {
            return true;
        }
        kept = corruptName(m_file);
        std::error_code error;
        fs::rename(m_file, kept, error);
        if (error) {
            return false;
        }
        // The journals belong to the damaged file and go with it.
        for (const char* suffix : kJournalSuffixes) {
            if (fs::exists(suffixed(m_file, suffix), error)) {
                fs::rename(suffixed(m_file, suffix), suffixed(kept, suffix), error);
            }
        }
    }
    problem.movedTo = kept;
    try {
        openAndMigrate();
        problem.salvagedRows = salvageRows(kept, *m_db);
    } catch (const SQLite::Exception&) {
        // The fresh file is tried again by the caller, and its own problem told then.
        m_db.reset();
    } catch (const Refusal&) {
        m_db.reset();
    }
    report(problem);
    return true;
}

void LocalStore::report(StoreProblem problem) {
    // A damaged file set aside is news each time: the user learns where it went.
    if (!problem.movedTo.empty() || m_reported.insert(problem.kind).second) {
        m_options.problems(problem);
    }
    m_problem = std::move(problem);
}

void LocalStore::report(StoreProblemKind kind, const std::string& detail) {
    report(StoreProblem{kind, m_file, {}, false, 0, detail});
}

} // namespace tarvisk
