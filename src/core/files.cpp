#include "core/files.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvisk {

namespace fs = std::filesystem;

FileReplacement::FileReplacement(fs::path file, std::optional<fs::perms> permissions) : m_file(std::move(file)) {
    const fs::path folder = m_file.parent_path().empty() ? fs::path(".") : m_file.parent_path();
    // Made with O_EXCL under a name no one else uses; without fixed permissions the umask gives the mode, as for any
    // file the user makes.
    const mode_t mode = permissions ? 0600 : 0666;
    for (unsigned attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = folder / ("." + m_file.filename().string() + "." + std::to_string(::getpid()) + "-" +
                                std::to_string(std::random_device{}()));
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_fd < 0 && errno != EEXIST) {
            break;
        }
    }
    m_ok = m_fd >= 0 && (!permissions || ::fchmod(m_fd, static_cast<mode_t>(*permissions)) == 0);
}

FileReplacement::~FileReplacement() {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temporary.c_str());
    }
}

bool FileReplacement::append(std::string_view bytes) {
    std::size_t written = 0;
    while (m_ok && written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        m_ok = n > 0;
        written += m_ok ? static_cast<std::size_t>(n) : 0;
    }
    return m_ok;
}

bool FileReplacement::commit() {
    if (m_fd < 0) {
        return false;
    }
    bool ok = ::fsync(m_fd) == 0 && m_ok;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    if (ok && ::rename(m_temporary.c_str(), m_file.c_str()) == 0) {
        // The rename itself must reach the disk as well.
        const fs::path folder = m_file.parent_path().empty() ? fs::path(".") : m_file.parent_path();
        if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY); dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    }
    ::unlink(m_temporary.c_str());
    return false;
}

bool ReplaceFile(const fs::path& file, const std::string& bytes, std::optional<fs::perms> permissions) {
    FileReplacement replacement(file, permissions);
    return replacement.append(bytes) && replacement.commit();
}

bool IsReadOnlyFile(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(file.c_str(), W_OK) != 0;
}

std::optional<std::string> ReadFileBytes(const fs::path& file, std::uintmax_t maxBytes) {
    std::error_code error;
    if (!fs::is_regular_file(file, error) || fs::file_size(file, error) > maxBytes || error) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > maxBytes) {
        return std::nullopt; // it grew while it was read
    }
    return bytes;
}

fs::path HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : "";
    }
    return fs::path(home);
}

fs::path UserFolder(const char* variable, const fs::path& fallback) {
    if (const char* xdg = std::getenv(variable); xdg != nullptr && fs::path(xdg).is_absolute()) {
        return fs::path(xdg) / "Tarvisk";
    }
    return HomeFolder() / fallback / "Tarvisk";
}

std::optional<fs::path> InstalledDataFolder(const fs::path& programFolder) {
    const fs::path folder = programFolder.lexically_normal();
    // "/usr/bin/" normalizes with an empty last piece.
    const fs::path bin = folder.has_filename() ? folder : folder.parent_path();
    if (bin.filename() != "bin") {
        return std::nullopt;
    }
    const fs::path data = bin.parent_path() / "share" / "tarvisk";
    std::error_code error;
    return fs::is_directory(data, error) ? std::optional<fs::path>(data) : std::nullopt;
}

fs::path ResourceFolder(const fs::path& programFolder) {
    return InstalledDataFolder(programFolder).value_or(programFolder);
}

} // namespace tarvisk
