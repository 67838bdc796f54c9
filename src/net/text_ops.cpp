#include "net/text_ops.h"

#include <algorithm>

namespace tarvisk::net {

namespace {

char16_t LowerUnit(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

} // namespace

std::u16string LowerAscii(std::u16string text) {
    std::transform(text.begin(), text.end(), text.begin(), LowerUnit);
    return text;
}

bool EqualsIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char16_t x, char16_t y) { return LowerUnit(x) == LowerUnit(y); });
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerUnit(static_cast<unsigned char>(x)) == LowerUnit(static_cast<unsigned char>(y));
           });
}

std::u16string ReplaceAll(const std::u16string& text, const std::u16string& from, const std::u16string& to) {
    std::u16string result;
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, start)) {
        result.append(text, start, at - start).append(to);
        start = at + from.size();
    }
    return result.append(text, start);
}

std::vector<std::u16string> SplitAt(const std::u16string& text, const std::u16string& separator) {
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::u16string::npos; at = text.find(separator, start)) {
        pieces.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::u16string TrimBlanks(const std::u16string& text) {
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

} // namespace tarvisk::net
