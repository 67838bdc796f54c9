#include "core/files.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvisk {

namespace fs = std::filesystem;

bool ReplaceFile(const fs::path& file, const std::string& bytes, fs::perms permissions) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string pattern = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data()); // created with mode 0600, so no one else sees it half-written
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, static_cast<mode_t>(permissions)) == 0;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        written += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(pattern.c_str(), file.c_str()) == 0) {
        // The rename itself must reach the disk as well.
        if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY); dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    }
    ::unlink(pattern.c_str());
    return false;
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
