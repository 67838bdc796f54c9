#include "text/script_text.h"

namespace tarvisk {

namespace {

// The escapes that stand for one character each: \n stands for a line feed.
constexpr std::u16string_view kSimpleEscapes = u"nrtbfv0";
constexpr char16_t kSimpleValues[] = {u'\n', u'\r', u'\t', u'\b', u'\f', u'\v', u'\0'};

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\uFEFF';
}

bool startsName(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
}

bool inName(char16_t c) {
    return startsName(c) || (c >= u'0' && c <= u'9');
}

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

/// The value of `count` hexadecimal digits at `at`, none when they are not all digits.
std::optional<char16_t> hexUnits(std::u16string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    char16_t value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const char16_t c = text[i];
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        if (digit < 0) {
            return std::nullopt;
        }
        value = static_cast<char16_t>(value * 16 + digit);
    }
    return value;
}

} // namespace

std::optional<std::u16string_view> JsonpArgument(std::u16string_view answer) {
    std::u16string_view text = trimmed(answer);
    // Some endpoints put an empty comment in front, against a page that reads the answer as something else.
    if (text.starts_with(u"/**/")) {
        text = trimmed(text.substr(4));
    }
    if (!text.empty() && (text.front() == u'{' || text.front() == u'[' || text.front() == u'"')) {
        return text;
    }
    // The function's name, dotted or not: mtopjsonp3, window.jsonp_cb.
    std::size_t i = 0;
    for (;;) {
        if (i >= text.size() || !startsName(text[i])) {
            return std::nullopt;
        }
        while (i < text.size() && inName(text[i])) {
            ++i;
        }
        if (i >= text.size() || text[i] != u'.') {
            break;
        }
        ++i;
    }
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    if (i >= text.size() || text[i] != u'(') {
        return std::nullopt;
    }
    if (text.back() == u';') {
        text = trimmed(text.substr(0, text.size() - 1));
    }
    if (text.size() < i + 2 || text.back() != u')') {
        return std::nullopt;
    }
    const std::u16string_view argument = text.substr(i + 1, text.size() - i - 2);
    if (trimmed(argument).empty()) {
        return std::nullopt;
    }
    return argument;
}

std::optional<std::u16string> DecodeScriptString(std::u16string_view literal) {
    const std::u16string_view text = trimmed(literal);
    if (text.size() < 2 || (text.front() != u'"' && text.front() != u'\'') || text.back() != text.front()) {
        return std::nullopt;
    }
    const char16_t quote = text.front();
    std::u16string value;
    value.reserve(text.size());
    const std::size_t end = text.size() - 1;
    for (std::size_t i = 1; i < end; ++i) {
        const char16_t c = text[i];
        if (c == quote) {
            return std::nullopt; // the literal ends before the text does
        }
        if (c != u'\\') {
            value.push_back(c);
            continue;
        }
        if (++i >= end) {
            return std::nullopt; // the closing quote is escaped
        }
        const char16_t escaped = text[i];
        if (const std::size_t simple = kSimpleEscapes.find(escaped); simple != std::u16string_view::npos) {
            value.push_back(kSimpleValues[simple]);
            continue;
        }
        switch (escaped) {
        case u'\r':
            // A line continuation: the escaped break is no part of the value (CR LF counts as one break).
            if (i + 1 < end && text[i + 1] == u'\n') {
                ++i;
            }
            break;
        case u'\n':
            break;
        case u'u':
        case u'x': {
            const std::size_t digits = escaped == u'u' ? 4 : 2;
            const std::optional<char16_t> unit = hexUnits(text.substr(0, end), i + 1, digits);
            if (!unit) {
                return std::nullopt;
            }
            value.push_back(*unit);
            i += digits;
            break;
        }
        default:
            value.push_back(escaped);
        }
    }
    return value;
}

} // namespace tarvisk
