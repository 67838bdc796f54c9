#include "text/text_ops.h"

#include <algorithm>

namespace tarvisk {

namespace {

template <typename Char> Char lowerUnit(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Text> Text lowerAscii(Text text) {
    std::transform(text.begin(), text.end(), text.begin(), lowerUnit<typename Text::value_type>);
    return text;
}

template <typename Char> bool equalsIgnoringCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) { return lowerUnit(x) == lowerUnit(y); });
}

template <typename Char>
std::basic_string<Char> replaceAll(std::basic_string_view<Char> text, std::basic_string_view<Char> from,
                                   std::basic_string_view<Char> to) {
    std::basic_string<Char> result;
    std::size_t start = 0;
    if (!from.empty()) {
        for (std::size_t at = text.find(from); at != text.npos; at = text.find(from, start)) {
            result.append(text.substr(start, at - start)).append(to);
            start = at + from.size();
        }
    }
    return result.append(text.substr(start));
}

template <typename Char>
std::vector<std::basic_string<Char>> splitAt(std::basic_string_view<Char> text,
                                             std::basic_string_view<Char> separator) {
    std::vector<std::basic_string<Char>> pieces;
    std::size_t start = 0;
    if (!separator.empty()) {
        for (std::size_t at = text.find(separator); at != text.npos; at = text.find(separator, start)) {
            pieces.emplace_back(text.substr(start, at - start));
            start = at + separator.size();
        }
    }
    pieces.emplace_back(text.substr(start));
    return pieces;
}

template <typename Char>
std::basic_string_view<Char> trimBlanks(std::basic_string_view<Char> text, std::basic_string_view<Char> blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == text.npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace

std::u16string LowerAscii(std::u16string text) {
    return lowerAscii(std::move(text));
}

std::string LowerAscii(std::string text) {
    return lowerAscii(std::move(text));
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return equalsIgnoringCase(a, b);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return equalsIgnoringCase(a, b);
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to) {
    return replaceAll(text, from, to);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    return replaceAll(text, from, to);
}

std::vector<std::u16string> SplitAt(std::u16string_view text, std::u16string_view separator) {
    return splitAt(text, separator);
}

std::vector<std::string> SplitAt(std::string_view text, std::string_view separator) {
    return splitAt(text, separator);
}

std::u16string TrimBlanks(std::u16string_view text, std::u16string_view blanks) {
    return std::u16string(trimBlanks(text, blanks));
}

std::string_view TrimBlanks(std::string_view text, std::string_view blanks) {
    return trimBlanks(text, blanks);
}

} // namespace tarvisk
