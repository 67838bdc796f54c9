#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "net/response_text.h"

namespace tarvisk::fuzz {

std::vector<std::string> Pieces(const std::uint8_t* data, std::size_t size, std::size_t count) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (pieces.size() + 1 < count) {
        const std::size_t nul = input.find('\0', start);
        if (nul == std::string::npos)
            break;
        pieces.push_back(input.substr(start, nul - start));
        start = nul + 1;
    }
    pieces.push_back(start <= input.size() ? input.substr(start) : std::string());
    pieces.resize(count);
    return pieces;
}

std::optional<PatternsAndPage> ReadPatternsAndPage(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return std::nullopt;
    const std::vector<std::string> pieces = Pieces(data + 1, size - 1, 3);
    return PatternsAndPage{data[0], PageText(pieces[0]), PageText(pieces[1]), PageText(pieces[2])};
}

std::u16string PageText(const std::string& bytes) {
    return ResponseText({}, bytes);
}

std::u16string RawUnits(const std::string& bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              static_cast<unsigned char>(bytes[i + 1]) << 8));
    return units;
}

void Check(bool holds, const char* property) {
    if (holds)
        return;
    std::fprintf(stderr, "property does not hold: %s\n", property);
    std::abort();
}

bool Contains(const std::u16string& whole, const std::u16string& part) {
    return whole.find(part) != std::u16string::npos;
}

} // namespace tarvisk::fuzz
