#include "text/text_ops.h"

#include <algorithm>
#include <bit>
#include <set>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

std::size_t FindText(std::u16string_view text, std::u16string_view needle, std::size_t from) {
    if (needle.empty() || needle.size() > text.size())
        return text.find(needle, from);
#if defined(__SSE2__)
    // Eight places a step. A place is a candidate when it holds the needle's first unit and the
    // place needle.size() - 1 further holds its last, so a page has few candidates that are no
    // match. The mask has two bits for each place.
    const __m128i first = _mm_set1_epi16(static_cast<short>(needle.front()));
    const __m128i last = _mm_set1_epi16(static_cast<short>(needle.back()));
    constexpr std::size_t kStep = sizeof(__m128i) / sizeof(char16_t);
    const std::size_t end = text.size() - needle.size() + 1; // one past the last place the needle may start
    for (; from + kStep <= end; from += kStep) {
        const auto* starts = reinterpret_cast<const __m128i*>(text.data() + from);
        const auto* ends = reinterpret_cast<const __m128i*>(text.data() + from + needle.size() - 1);
        const __m128i candidates = _mm_and_si128(_mm_cmpeq_epi16(_mm_loadu_si128(starts), first),
                                                 _mm_cmpeq_epi16(_mm_loadu_si128(ends), last));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(candidates)); mask != 0;
             mask &= ~(3u << std::countr_zero(mask))) {
            const std::size_t place = from + static_cast<std::size_t>(std::countr_zero(mask)) / 2;
            if (text.substr(place, needle.size()) == needle)
                return place;
        }
    }
#endif
    return text.find(needle, from);
}

std::u16string TrimBlanks(std::u16string_view text, std::u16string_view blanks) {
    return std::u16string(trimBlanks(text, blanks));
}

std::string_view TrimBlanks(std::string_view text, std::string_view blanks) {
    return trimBlanks(text, blanks);
}

std::u16string ReplaceControlCharacters(std::u16string_view text) {
    std::u16string safe(text);
    for (std::size_t i = 0; i < safe.size(); ++i) {
        const char16_t c = safe[i];
        // The bidirectional controls reorder what follows them: "exe.gpj" shown as "jpg.exe".
        const bool bidi =
            c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || bidi;
        const bool layout = c == u'\t' || c == u'\n' || (c == u'\r' && i + 1 < safe.size() && safe[i + 1] == u'\n');
        if (control && !layout)
            safe[i] = u'\uFFFD';
    }
    return safe;
}

std::vector<std::u16string> DistinctLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::set<std::u16string> seen;
    for (const std::u16string& line : SplitAt(text, u"\n")) {
        std::u16string entry = TrimBlanks(line, u" \t\r");
        if (!entry.empty() && seen.insert(entry).second) {
            lines.push_back(std::move(entry));
        }
    }
    return lines;
}

} // namespace tarvisk
