#include "text/settings.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace fs = std::filesystem;

namespace {

// A settings file is a few hundred bytes; anything this large was not written by the program.
constexpr std::uintmax_t kMaxFileBytes = 1u << 20;
// A writer holds the folder's lock for one write of a small file. One that holds it far longer is stuck (a
// stopped process): the write then goes ahead without the lock rather than freeze the window that made it.
constexpr std::chrono::seconds kLockWait{5};
constexpr std::chrono::milliseconds kLockRetry{2};

std::mutex& settingsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<fs::path>& folderOverride() {
    static std::optional<fs::path> folder;
    return folder;
}

// The private-profile functions trim these around names and values.
constexpr std::u16string_view kProfileBlanks = u" \t\r\v\f";

std::u16string trimmed(std::u16string_view text) {
    return TrimBlanks(text, kProfileBlanks);
}

std::u16string sectionOrDefault(const std::u16string& section) {
    return section.empty() ? std::u16string(kSettingsSection) : trimmed(section);
}

bool hasLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

bool whollyQuoted(std::u16string_view value) {
    return value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
}

/// Text of the file's bytes in code page 936, where 0x80 is the euro sign the writer puts there (the
/// marketplace decoder would take it for the first byte of a pair).
std::u16string fromCodePage(const std::string& bytes) {
    return DecodeCharsetBytes(bytes, "cp936");
}

/// The bytes of a line without its line break.
std::string_view lineContent(std::string_view line) {
    if (line.ends_with("\r\n")) {
        return line.substr(0, line.size() - 2);
    }
    return line.ends_with('\n') ? line.substr(0, line.size() - 1) : line;
}

/// What one line of the file says.
struct Line {
    enum class Kind { Blank, Other, Section, Key };
    Kind kind = Kind::Other;
    std::u16string name;  // section or key name, trimmed
    std::u16string value; // key value, trimmed and unquoted
};

Line parseLine(std::string_view bytes) {
    const std::u16string text = trimmed(fromCodePage(std::string(lineContent(bytes))));
    Line line;
    if (text.empty()) {
        line.kind = Line::Kind::Blank;
        return line;
    }
    if (text.front() == u';') {
        return line;
    }
    if (text.front() == u'[') {
        const std::size_t close = text.rfind(u']');
        if (close != std::u16string::npos && close > 0) {
            line.kind = Line::Kind::Section;
            line.name = trimmed(std::u16string_view(text).substr(1, close - 1));
        }
        return line;
    }
    const std::size_t equals = text.find(u'=');
    if (equals == std::u16string::npos) {
        return line;
    }
    line.kind = Line::Kind::Key;
    line.name = trimmed(std::u16string_view(text).substr(0, equals));
    line.value = trimmed(std::u16string_view(text).substr(equals + 1));
    if (whollyQuoted(line.value)) {
        line.value = line.value.substr(1, line.value.size() - 2);
    }
    return line;
}

/// The file as raw lines, each with its own line break, so that a write leaves every line it does not
/// change byte for byte as it was.
struct Document {
    std::vector<std::string> lines;
    std::string eol = "\r\n"; // for new lines: the file's own line break, CRLF for a new file

    void terminate(std::size_t index) {
        std::string& line = lines[index];
        if (!line.ends_with('\n')) {
            if (line.ends_with('\r')) {
                line.pop_back();
            }
            line += eol;
        }
    }
};

Document splitLines(const std::string& bytes) {
    Document doc;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
        doc.lines.push_back(bytes.substr(start, next - start));
        start = next;
    }
    if (!doc.lines.empty() && doc.lines.front().ends_with('\n') && !doc.lines.front().ends_with("\r\n")) {
        doc.eol = "\n";
    }
    return doc;
}

fs::path settingsFileIn(const fs::path& folder) {
    return folder / fs::path(ToUtf8(kSettingsFileName));
}

/// Setting.ini of the per-user configuration folder, where the settings of `folder` go when its file cannot be
/// read; none when that is `folder` itself.
std::optional<fs::path> fallbackFile(const fs::path& folder) {
    const fs::path userFolder = UserConfigFolder();
    if (userFolder == folder) {
        return std::nullopt;
    }
    return settingsFileIn(userFolder);
}

/// A settings file as found on disk.
struct LoadedFile {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    std::string bytes;
};

/// The file's bytes. Unreadable: it is there but not a settings file the program can read and write back
/// whole (no read permission, not a plain file, binary, UTF-16, oversized); such a file is never replaced.
LoadedFile loadFile(const fs::path& file) {
    using State = LoadedFile::State;
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found) {
        return {};
    }
    if (error || status.type() != fs::file_type::regular) {
        return {State::Unreadable, {}};
    }
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size > kMaxFileBytes) {
        return {State::Unreadable, {}};
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {State::Unreadable, {}};
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // UTF-16 starts with its byte-order mark, and its ASCII characters hold NUL bytes.
    const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (in.bad() || utf16 || bytes.find('\0') != std::string::npos) {
        return {State::Unreadable, {}};
    }
    return {State::Read, std::move(bytes)};
}

/// An advisory lock on the lock file beside a settings file, held for the life of the object: the programs
/// that share the folder (tarvisk and tarvix, or two copies of one) then change the file one at a time, and
/// none writes back a copy that lacks a key another has just added.
class FolderLock {
public:
    explicit FolderLock(const fs::path& file) {
        const fs::path lockFile = file.parent_path() / ("." + file.filename().string() + ".lock");
        m_fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (m_fd < 0) {
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        // A folder without locks (some network shares) is written unlocked, as it always was.
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(kLockRetry);
        }
    }
    ~FolderLock() {
        if (m_fd >= 0) {
            ::close(m_fd); // releases the lock
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd = -1;
};

/// Position of the first line holding `key` in a section named `section`, and of the line after which
/// a new key of that section belongs (the last non-blank line of its first occurrence).
struct KeyPlace {
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> sectionEnd;
};

KeyPlace findKey(const Document& doc, std::u16string_view section, std::u16string_view key) {
    KeyPlace place;
    bool inSection = false;
    bool inFirstSection = false;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        const Line line = parseLine(doc.lines[i]);
        if (line.kind == Line::Kind::Section) {
            inSection = EqualsIgnoringCase(line.name, section);
            inFirstSection = inSection && !place.sectionEnd;
            if (inFirstSection) {
                place.sectionEnd = i;
            }
            continue;
        }
        if (inFirstSection && line.kind != Line::Kind::Blank) {
            place.sectionEnd = i;
        }
        if (inSection && line.kind == Line::Kind::Key && EqualsIgnoringCase(line.name, key) && !place.keyLine) {
            place.keyLine = i;
        }
    }
    return place;
}

/// Cuts GBK bytes to at most `limit` bytes without splitting a two-byte character (lead bytes 0x81-0xFE).
std::size_t characterBoundary(const std::string& bytes, std::size_t limit) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const std::size_t width = byte >= 0x81 && byte <= 0xFE ? 2 : 1;
        if (at + width > limit) {
            break;
        }
        at += width;
    }
    return at;
}

std::u16string limitValue(const std::u16string& value) {
    const std::string bytes = EncodeGbk(value);
    if (bytes.size() <= kSettingValueMaxBytes) {
        return value;
    }
    return fromCodePage(bytes.substr(0, characterBoundary(bytes, kSettingValueMaxBytes)));
}

/// The value as it must stand in the file to read back unchanged. A NUL ends the value, as it ends the
/// text the private-profile functions are given; written into the file it would make the whole file
/// unreadable, and every other setting with it.
std::u16string storedValue(const std::u16string& value) {
    std::u16string text = value.substr(0, value.find(u'\0'));
    for (char16_t& c : text) {
        if (c == u'\r' || c == u'\n') {
            c = u' ';
        }
    }
    if (!text.empty() && (trimmed(text) != text || whollyQuoted(text))) {
        text = u"\"" + text + u"\"";
    }
    return text;
}

bool validKey(std::u16string_view key) {
    return !key.empty() && key.front() != u';' && key.front() != u'[' && key.find(u'=') == std::u16string_view::npos &&
           !hasLineBreak(key);
}

bool validSection(std::u16string_view section) {
    return !section.empty() && section.find(u']') == std::u16string_view::npos && !hasLineBreak(section);
}

/// The value of the key in a file as loaded; empty when the file, the section or the key is missing.
std::u16string valueIn(const LoadedFile& loaded, const std::u16string& section, const std::u16string& key) {
    if (loaded.state != LoadedFile::State::Read) {
        return {};
    }
    const Document doc = splitLines(loaded.bytes);
    const KeyPlace place = findKey(doc, section, key);
    return place.keyLine ? limitValue(parseLine(doc.lines[*place.keyLine]).value) : std::u16string();
}

/// The bytes of a file with the key's line stored.
std::string withKey(const std::string& bytes, const std::u16string& section, const std::u16string& name,
                    const std::u16string& value) {
    Document doc = splitLines(bytes);
    const std::string keyLine = EncodeGbk(name + u"=" + storedValue(value));
    const KeyPlace place = findKey(doc, section, name);
    if (place.keyLine) {
        std::string& old = doc.lines[*place.keyLine];
        old = keyLine + old.substr(lineContent(old).size());
    } else if (place.sectionEnd) {
        doc.terminate(*place.sectionEnd);
        doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(*place.sectionEnd) + 1, keyLine + doc.eol);
    } else {
        if (!doc.lines.empty()) {
            doc.terminate(doc.lines.size() - 1);
        }
        doc.lines.push_back(EncodeGbk(u"[" + section + u"]") + doc.eol);
        doc.lines.push_back(keyLine + doc.eol);
    }
    std::string changed;
    for (const std::string& line : doc.lines) {
        changed += line;
    }
    return changed;
}

/// Makes the folder of `file`: false when it cannot be made.
bool makeFolder(const fs::path& file) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    return !error;
}

/// The file the settings of `folder` are written to, with its folder made: the folder's Setting.ini, or the per-user
/// one while that cannot be read (the user's file may hold settings the program cannot read: it stays as it is).
/// None when the folder cannot be made.
std::optional<fs::path> writtenFile(const fs::path& folder) {
    const fs::path file = settingsFileIn(folder);
    const std::optional<fs::path> fallback = fallbackFile(folder);
    const fs::path used = loadFile(file).state == LoadedFile::State::Unreadable && fallback ? *fallback : file;
    return makeFolder(used) ? std::optional(used) : std::nullopt;
}

/// A change WriteSetting kept that is not in its file yet.
struct PendingChange {
    fs::path folder;
    std::u16string section;
    std::u16string key;
    std::u16string value;
    // Unique in the process: a change made while an older value of its key was being written is told from it.
    std::uint64_t version = 0;
};

class PendingSettings;
PendingSettings& pendingSettings();

/// The changes not yet written, and the thread that writes them once they stop coming for the write delay.
class PendingSettings {
public:
    PendingSettings() {
        // The last changes are written as the process ends, reading the file: the decoder's table, made before this
        // object, is destroyed after it.
        fromCodePage({});
        ::pthread_atfork([] { pendingSettings().beforeFork(); }, [] { pendingSettings().afterForkInParent(); },
                         [] { pendingSettings().afterForkInChild(); });
    }

    ~PendingSettings() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_writer.joinable()) {
            m_writer.join(); // after it has written what is left
        }
    }

    PendingSettings(const PendingSettings&) = delete;
    PendingSettings& operator=(const PendingSettings&) = delete;

    /// The value of the key's change not yet written in `folder`, if there is one.
    std::optional<std::u16string> valueOf(const fs::path& folder, std::u16string_view section,
                                          std::u16string_view key) {
        std::lock_guard lock(m_mutex);
        const auto change = find(folder, section, key);
        return change != m_changes.end() ? std::optional(change->value) : std::nullopt;
    }

    bool holds(const fs::path& folder) {
        std::lock_guard lock(m_mutex);
        return std::ranges::any_of(m_changes,
                                   [&folder](const PendingChange& change) { return change.folder == folder; });
    }

    void put(const fs::path& folder, const std::u16string& section, const std::u16string& key,
             const std::u16string& value) {
        {
            std::lock_guard lock(m_mutex);
            // A key keeps its place: keys new to the file are added to it in the order they were first changed.
            const auto change = find(folder, section, key);
            if (change != m_changes.end()) {
                change->key = key; // written as last spelled, as a rewrite of its line would
                change->value = value;
                change->version = ++m_versions;
            } else {
                m_changes.push_back({folder, section, key, value, ++m_versions});
            }
            m_lastChange = std::chrono::steady_clock::now();
            startWriter();
        }
        m_wake.notify_all();
    }

    void setDelay(std::chrono::milliseconds delay) {
        {
            std::lock_guard lock(m_mutex);
            m_delay = delay;
        }
        m_wake.notify_all();
    }

    /// Writes the changes of every folder but `except`; false when some could not be written.
    bool flush(const std::optional<fs::path>& except = std::nullopt) {
        bool written = true;
        for (const fs::path& folder : folders()) {
            if (folder != except) {
                written = rewrite(folder) && written;
            }
        }
        return written;
    }

    /// Replaces the file of `folder` by one with its changes not yet written stored, and then what `more` makes of
    /// the document (true when it changed it), under the folder's lock. False, the changes still waiting, when the
    /// file could not be written.
    bool rewrite(const fs::path& folder, const std::function<bool(LoadedFile&)>& more = {}) {
        std::lock_guard fileLock(m_fileMutex);
        const std::vector<PendingChange> changes = changesOf(folder);
        const std::optional<fs::path> used = writtenFile(folder);
        if (!used) {
            return false;
        }
        const FolderLock folderLock(*used);
        LoadedFile loaded = loadFile(*used);
        if (loaded.state == LoadedFile::State::Unreadable) {
            return false;
        }
        loaded.state = LoadedFile::State::Read; // a missing file is an empty one
        for (const PendingChange& change : changes) {
            loaded.bytes = withKey(loaded.bytes, change.section, change.key, change.value);
        }
        const bool changedMore = more && more(loaded);
        if (changes.empty() && !changedMore) {
            return true;
        }
        if (!ReplaceFile(*used, loaded.bytes)) {
            return false;
        }
        retire(changes);
        return true;
    }

private:
    std::vector<PendingChange>::iterator find(const fs::path& folder, std::u16string_view section,
                                              std::u16string_view key) {
        return std::ranges::find_if(m_changes, [&](const PendingChange& change) {
            return change.folder == folder && EqualsIgnoringCase(change.section, section) &&
                   EqualsIgnoringCase(change.key, key);
        });
    }

    std::vector<fs::path> folders() {
        std::lock_guard lock(m_mutex);
        std::vector<fs::path> found;
        for (const PendingChange& change : m_changes) {
            if (std::ranges::find(found, change.folder) == found.end()) {
                found.push_back(change.folder);
            }
        }
        return found;
    }

    std::vector<PendingChange> changesOf(const fs::path& folder) {
        std::lock_guard lock(m_mutex);
        std::vector<PendingChange> found;
        std::ranges::copy_if(m_changes, std::back_inserter(found),
                             [&folder](const PendingChange& change) { return change.folder == folder; });
        return found;
    }

    /// Drops the changes that are in the file now; a key changed again meanwhile keeps its newer change.
    void retire(const std::vector<PendingChange>& written) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_changes, [&written](const PendingChange& change) {
            return std::ranges::any_of(written,
                                       [&change](const PendingChange& w) { return w.version == change.version; });
        });
    }

    /// With m_mutex held.
    void startWriter() {
        if (!m_writer.joinable() && !m_forking) {
            m_writer = std::thread([this] { writeWhenQuiet(); });
        }
    }

    // A child made by fork() has no copy of the parent's other threads, and one that waited on or held what they
    // share would leave it unusable there: the writer ends before the fork and no thread is inside the locks. The
    // parent then starts the writer again; the child starts one of its own at its first change.
    void beforeFork() {
        std::thread writer;
        {
            std::lock_guard lock(m_mutex);
            m_forking = true;
            writer = std::move(m_writer);
        }
        m_wake.notify_all();
        if (writer.joinable()) {
            writer.join();
        }
        m_fileMutex.lock();
        m_mutex.lock();
    }

    void afterForkInChild() {
        m_forking = false;
        m_mutex.unlock();
        m_fileMutex.unlock();
    }

    void afterForkInParent() {
        m_forking = false;
        if (m_lastChange) {
            startWriter();
        }
        m_mutex.unlock();
        m_fileMutex.unlock();
    }

    void writeWhenQuiet() {
        std::unique_lock lock(m_mutex);
        while (!m_stopping && !m_forking) {
            if (!m_lastChange) {
                m_wake.wait(lock);
                continue;
            }
            const auto due = *m_lastChange + m_delay;
            if (std::chrono::steady_clock::now() < due) {
                m_wake.wait_until(lock, due);
                continue;
            }
            // A change that cannot be written now waits for the next change or the next flush.
            m_lastChange.reset();
            lock.unlock();
            flush();
            lock.lock();
        }
        if (m_stopping) {
            lock.unlock();
            // What is left as the process ends, written on this thread, whose own encoder lives until it returns.
            flush();
        }
    }

    std::mutex m_fileMutex; // one rewrite at a time in the process; the folder's lock orders the processes
    std::mutex m_mutex;     // guards what follows, never held while a file is read or written
    std::condition_variable m_wake;
    std::vector<PendingChange> m_changes;
    std::uint64_t m_versions = 0;
    std::chrono::milliseconds m_delay = kSettingsWriteDelay;
    std::optional<std::chrono::steady_clock::time_point> m_lastChange; // none: nothing for the writer to wait for
    bool m_stopping = false;
    bool m_forking = false;
    std::thread m_writer;
};

PendingSettings& pendingSettings() {
    static PendingSettings pending;
    return pending;
}

} // namespace

bool FolderIsWritable(const fs::path& folder) {
    std::error_code error;
    if (folder.empty() || !fs::is_directory(folder, error)) {
        return false;
    }
    std::string probe = (folder / ".tarvisk-probe.XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

fs::path UserConfigFolder() {
    return UserFolder("XDG_CONFIG_HOME", ".config");
}

fs::path ResolveSettingsFolder(const fs::path& programFolder, const std::function<bool(const fs::path&)>& writable) {
    return !InstalledDataFolder(programFolder) && writable(programFolder) ? programFolder : UserConfigFolder();
}

fs::path ProgramFolder() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : program.parent_path();
}

void SetSettingsFolder(const fs::path& folder) {
    // A failed write stays waiting; its change belongs to the folder it was made for, whatever the folder now.
    pendingSettings().flush();
    std::lock_guard lock(settingsMutex());
    folderOverride() = folder.empty() ? std::nullopt : std::optional<fs::path>(folder);
}

fs::path SettingsFolder() {
    {
        std::lock_guard lock(settingsMutex());
        if (folderOverride()) {
            return *folderOverride();
        }
    }
    static const fs::path defaultFolder = ResolveSettingsFolder(ProgramFolder());
    return defaultFolder;
}

std::u16string ReadSetting(const std::u16string& key, const std::u16string& section) {
    const std::u16string name = trimmed(key);
    const std::u16string wantedSection = sectionOrDefault(section);
    const fs::path folder = SettingsFolder();
    PendingSettings& pending = pendingSettings();
    if (const std::optional<std::u16string> value = pending.valueOf(folder, wantedSection, name)) {
        // As the file will hold it: quoted, line breaks as blanks, cut as a read of the file cuts it.
        return valueIn({LoadedFile::State::Read, withKey({}, wantedSection, name, *value)}, wantedSection, name);
    }
    // The changes of another folder may be bound for the file read here (the per-user one).
    pending.flush(folder);
    LoadedFile loaded = loadFile(settingsFileIn(folder));
    if (const std::optional<fs::path> fallback = fallbackFile(folder);
        loaded.state == LoadedFile::State::Unreadable && fallback) {
        loaded = loadFile(*fallback);
    }
    return valueIn(loaded, wantedSection, name);
}

bool WriteSetting(const std::u16string& key, const std::u16string& value, const std::u16string& section) {
    const std::u16string name = trimmed(key);
    const std::u16string wantedSection = sectionOrDefault(section);
    if (!validKey(name) || !validSection(wantedSection)) {
        return false;
    }
    const fs::path folder = SettingsFolder();
    PendingSettings& pending = pendingSettings();
    // The first change since the folder's file was written finds out whether it can be written at all, so that the
    // caller hears of a folder that cannot be made and of files that cannot be read; the next ones only wait.
    if (!pending.holds(folder)) {
        const std::optional<fs::path> used = writtenFile(folder);
        if (!used || loadFile(*used).state == LoadedFile::State::Unreadable) {
            return false;
        }
    }
    pending.put(folder, wantedSection, name, value);
    return true;
}

bool FlushSettings() {
    return pendingSettings().flush();
}

void SetSettingsWriteDelay(std::chrono::milliseconds delay) {
    pendingSettings().setDelay(delay);
}

bool ChangeSetting(const std::u16string& key, const SettingChange& change, const std::u16string& section) {
    const std::u16string name = trimmed(key);
    const std::u16string wantedSection = sectionOrDefault(section);
    if (!validKey(name) || !validSection(wantedSection)) {
        return false;
    }
    bool changed = false;
    const bool written = pendingSettings().rewrite(SettingsFolder(), [&](LoadedFile& loaded) {
        const std::optional<std::u16string> value = change(valueIn(loaded, wantedSection, name));
        if (value) {
            loaded.bytes = withKey(loaded.bytes, wantedSection, name, *value);
        }
        changed = value.has_value();
        return changed;
    });
    return written && changed;
}

} // namespace tarvisk
