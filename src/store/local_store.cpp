#include "store/local_store.h"

#include <ctime>
#include <mutex>
#include <optional>
#include <system_error>

#include <sqlite3.h>
#include <sys/stat.h>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Exception.h>
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
    default:
        return StoreProblemKind::Failed;
    }
}

/// The file's identity, to tell whether the file at a path is still the one that was opened.
std::optional<std::pair<std::uint64_t, std::uint64_t>> fileIdentity(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return std::pair<std::uint64_t, std::uint64_t>{info.st_dev, info.st_ino};
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
    for (int n = 2; fs::exists(candidate, error) || fs::exists(candidate.string() + "-wal", error); ++n) {
        candidate = base + "-" + std::to_string(n);
    }
    return candidate;
}

bool hasTables(SQLite::Database& db) {
    return db.execAndGet("SELECT count(*) FROM sqlite_master").getInt() > 0;
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
        text = problem.movedTo.empty() ? u"历史记录库已损坏，不能使用。请把这个文件移走，程序会新建一个历史记录库。"
                                       : u"历史记录库已损坏。损坏的文件已改名保存为：\n" +
                                             FromUtf8(problem.movedTo.string()) + u"\n程序新建了一个空的历史记录库。";
        break;
    case StoreProblemKind::NewerVersion:
        text = u"历史记录库是较新版本的程序建立的，本程序不能使用它，这次的记录没有保存。";
        break;
    case StoreProblemKind::NotOurs:
        text = u"历史记录库的位置上是另一个程序的数据库，本程序不会使用或改动它，这次的记录没有保存。";
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
    return run(Access::Write, work);
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
        try {
            if (access == Access::Write) {
                SQLite::Transaction transaction(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
                work(*m_db);
                transaction.commit();
            } else {
                work(*m_db);
            }
            return true;
        } catch (const SQLite::Exception& error) {
            const StoreProblemKind kind = problemKind(error);
            if (kind == StoreProblemKind::Corrupt && attempt == 0 && moveAside(error.what())) {
                continue;
            }
            report(kind, error.what());
            return false;
        }
    }
    return false;
}

bool LocalStore::ensureOpen() {
    for (int attempt = 0; attempt < 2 && !m_db; ++attempt) {
        std::error_code error;
        fs::create_directories(m_file.parent_path(), error);
        if (error) {
            report(StoreProblemKind::CannotOpen, error.message());
            return false;
        }
        try {
            openAndMigrate();
        } catch (const Refusal& refusal) {
            report(refusal.kind, refusal.detail);
            return false;
        } catch (const SQLite::Exception& error) {
            m_db.reset();
            const StoreProblemKind kind = problemKind(error);
            if (kind == StoreProblemKind::Corrupt && attempt == 0 && moveAside(error.what())) {
                continue;
            }
            report(kind, error.what());
            return false;
        }
    }
    return m_db != nullptr;
}

void LocalStore::openAndMigrate() {
    auto db = std::make_unique<SQLite::Database>(m_file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE,
                                                 m_options.busyTimeoutMs);
    m_identity = fileIdentity(m_file);
    // The first statement reads the file's header: a file that is not a database fails here.
    const int applicationId = db->execAndGet("PRAGMA application_id").getInt();
    const int version = SchemaVersion(*db);
    const int latest = m_options.steps.empty() ? 0 : m_options.steps.back().version;
    if (applicationId != kApplicationId && (applicationId != 0 || version != 0 || hasTables(*db))) {
        throw Refusal{StoreProblemKind::NotOurs, {}};
    }
    if (version > latest) {
        throw Refusal{StoreProblemKind::NewerVersion, "version " + std::to_string(version)};
    }
    // Readers and a writer of the two programs then work side by side. A file that cannot be written keeps
    // its journal mode, and is still read.
    db->tryExec("PRAGMA journal_mode = WAL");
    db->exec("PRAGMA foreign_keys = ON");
    if (version < latest) {
        SQLite::Transaction transaction(*db, SQLite::TransactionBehavior::IMMEDIATE);
        ApplySchemaSteps(*db, m_options.steps);
        transaction.commit();
    }
    m_db = std::move(db);
}

bool LocalStore::moveAside(const std::string& detail) {
    m_db.reset();
    const auto identity = fileIdentity(m_file);
    if (!identity) {
        return false;
    }
    if (identity != m_identity) {
        // Another program has already put a fresh file in its place: use that one.
        return true;
    }
    const fs::path kept = corruptName(m_file);
    std::error_code error;
    fs::rename(m_file, kept, error);
    if (error) {
        return false;
    }
    // The journal files belong to the damaged file and go with it.
    for (const char* suffix : {"-wal", "-shm"}) {
        const fs::path journal = m_file.string() + suffix;
        if (fs::exists(journal, error)) {
            fs::rename(journal, kept.string() + suffix, error);
        }
    }
    report(StoreProblemKind::Corrupt, detail, kept);
    return true;
}

void LocalStore::report(StoreProblemKind kind, const std::string& detail, const fs::path& movedTo) {
    if (m_reported.insert(kind).second) {
        m_options.problems(StoreProblem{kind, m_file, movedTo, detail});
    }
}

} // namespace tarvisk
