// The settings file over fuzzed Setting.ini contents: any file reads without failing, a written value
// reads back as written (line breaks as blanks, characters outside code page 936 as "?"), a write
// leaves every other key as it was, and a file that is not a settings file (binary, UTF-16) is never
// changed (its keys then live in the per-user file).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "fuzz_support.h"
#include "text/encoding.h"
#include "text/settings.h"

namespace {

namespace fs = std::filesystem;
using tarvisk::fuzz::Check;

// The keys the windows use (the first five), and two that name one of them in another letter case.
constexpr std::size_t kWindowKeys = 5;
const struct {
    const char16_t* name;
    std::size_t windowKey;
} kKeys[] = {{u"SURL", 0}, {u"KeyWord", 1}, {u"Pages", 2}, {u"Goods", 3}, {u"op", 4}, {u"surl", 0}, {u"KEYWORD", 1}};

fs::path Folder() {
    // A folder in memory where there is one: every write is flushed to disk.
    static const fs::path folder = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path made = base / ("tarvisk-settings-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(made);
        tarvisk::SetSettingsFolder(made);
        // Where the settings go when the folder's file cannot be read.
        ::setenv("XDG_CONFIG_HOME", (made / "user").c_str(), 1);
        return made;
    }();
    return folder;
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

/// What a value reads back as once written: it ends at a NUL, line breaks are blanks, and the rest goes
/// through code page 936 and back.
std::u16string StoredForm(const std::u16string& value) {
    std::u16string text = value.substr(0, value.find(u'\0'));
    for (char16_t& c : text) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
    }
    return tarvisk::DecodeCharsetBytes(tarvisk::EncodeGbk(text), "cp936");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const fs::path file = Folder() / "Setting.ini";
    const auto pieces = tarvisk::fuzz::Pieces(data + 1, size - 1, 2);
    WriteFile(file, pieces[0]);
    fs::remove(Folder() / "user" / "Tarvisk" / "Setting.ini");

    std::vector<std::u16string> before;
    for (const auto& key : kKeys)
        before.push_back(tarvisk::ReadSetting(key.name));

    const std::size_t written = data[0] % kWindowKeys;
    const std::u16string value = tarvisk::fuzz::PageText(pieces[1]);
    Check(tarvisk::WriteSetting(kKeys[written].name, value), "a write into a writable folder succeeds");

    const bool notSettings = pieces[0].find('\0') != std::string::npos || pieces[0].starts_with("\xFF\xFE") ||
                             pieces[0].starts_with("\xFE\xFF");
    if (notSettings)
        Check(ReadFile(file) == pieces[0], "a file that is not a settings file is never changed");

    const std::u16string expected = StoredForm(value);
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        const std::u16string now = tarvisk::ReadSetting(kKeys[i].name);
        if (kKeys[i].windowKey != written)
            Check(now == before[i], "a write leaves the other keys as they were");
        else if (tarvisk::EncodeGbk(expected).size() <= tarvisk::kSettingValueMaxBytes)
            Check(now == expected, "a written value reads back as written, under any letter case of its key");
    }
    return 0;
}
