#include "text/html.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "text/text_ops.h"

namespace tarvisk {

namespace {

/// The character reference of a character that means markup, or nothing for any other character.
std::u16string_view referenceOf(char16_t c) {
    switch (c) {
    case u'&':
        return u"&amp;";
    case u'<':
        return u"&lt;";
    case u'>':
        return u"&gt;";
    case u'"':
        return u"&quot;";
    case u'\'':
        return u"&#39;";
    default:
        return {};
    }
}

struct NamedReference {
    std::u16string_view name;
    char16_t character;
};
constexpr NamedReference kNamedReferences[] = {{u"amp", u'&'},     {u"lt", u'<'},    {u"gt", u'>'},
                                               {u"quot", u'"'},    {u"apos", u'\''}, {u"nbsp", u'\u00A0'},
                                               {u"yen", u'\u00A5'}};
// The longest reference read: "&#x10FFFF;" and "&#1114111;" fit.
constexpr std::size_t kLongestReference = 10;

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\u00A0' || c == u'\u3000';
}

bool endsName(char16_t c) {
    return isBlank(c) || c == u'>' || c == u'/' || c == u'=';
}

/// The code point of a numeric reference's digits ("39", "x4E2D"), 0 when it names none.
char32_t numericReference(std::u16string_view digits) {
    const bool hex = !digits.empty() && (digits[0] == u'x' || digits[0] == u'X');
    if (hex) {
        digits.remove_prefix(1);
    }
    if (digits.empty()) {
        return 0;
    }
    char32_t value = 0;
    for (const char16_t c : digits) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (hex && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (hex && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        if (digit < 0) {
            return 0;
        }
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        if (value > 0x10FFFF) {
            return 0;
        }
    }
    return value >= 0xD800 && value <= 0xDFFF ? 0 : value;
}

void appendCodePoint(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
        return;
    }
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

/// The end of the tag that starts at `start` ("<"): just past its ">", quoted values skipped; the end of the text
/// when it is never closed.
std::size_t tagEnd(std::u16string_view html, std::size_t start) {
    char16_t quote = 0;
    for (std::size_t i = start + 1; i < html.size(); ++i) {
        const char16_t c = html[i];
        if (quote != 0) {
            quote = c == quote ? char16_t(0) : quote;
        } else if (c == u'"' || c == u'\'') {
            quote = html[i - 1] == u'=' || isBlank(html[i - 1]) ? c : char16_t(0);
        } else if (c == u'>') {
            return i + 1;
        }
    }
    return html.size();
}

/// True when a tag named `name` starts at `at` (just after "<" or "</").
bool namedAt(std::u16string_view html, std::size_t at, std::u16string_view name) {
    return at + name.size() <= html.size() && EqualsIgnoringCase(html.substr(at, name.size()), name) &&
           (at + name.size() == html.size() || endsName(html[at + name.size()]));
}

std::u16string_view tagName(std::u16string_view tag) {
    std::size_t end = 1;
    while (end < tag.size() && !endsName(tag[end])) {
        ++end;
    }
    return tag.substr(1, end - 1);
}

/// Where the element that starts at `at` ("<script" or "<style") ends: past its end tag, or the end of the text.
std::size_t rawTextEnd(std::u16string_view html, std::size_t at, std::u16string_view name) {
    for (std::size_t close = html.find(u"</", tagEnd(html, at)); close != std::u16string_view::npos;
         close = html.find(u"</", close + 2)) {
        if (namedAt(html, close + 2, name)) {
            return tagEnd(html, close);
        }
    }
    return html.size();
}

} // namespace

std::u16string EscapeHtml(const std::u16string& text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        const std::u16string_view reference = referenceOf(c);
        if (reference.empty())
            escaped.push_back(c);
        else
            escaped += reference;
    }
    return escaped;
}

std::u16string DataUri(std::string_view mimeType, std::string_view bytes) {
    constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::u16string uri = u"data:";
    uri.append(mimeType.begin(), mimeType.end());
    uri += u";base64,";
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = group << 8 | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            uri += k <= count ? static_cast<char16_t>(kDigits[group >> (18 - 6 * k) & 0x3F]) : u'=';
        }
    }
    return uri;
}

std::u16string DecodeHtmlText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find(u'&', i);
        out.append(text.substr(i, amp == std::u16string_view::npos ? text.npos : amp - i));
        if (amp == std::u16string_view::npos) {
            break;
        }
        const std::size_t semicolon = text.substr(amp, kLongestReference + 2).find(u';');
        const std::u16string_view body =
            semicolon == std::u16string_view::npos ? std::u16string_view() : text.substr(amp + 1, semicolon - 1);
        char32_t character = 0;
        if (!body.empty() && body[0] == u'#') {
            character = numericReference(body.substr(1));
        } else {
            for (const NamedReference& named : kNamedReferences) {
                if (body == named.name) {
                    character = named.character;
                }
            }
        }
        if (character == 0) {
            out.push_back(u'&');
            i = amp + 1;
            continue;
        }
        appendCodePoint(out, character);
        i = amp + semicolon + 1;
    }
    return out;
}

HtmlTag FindHtmlTag(std::u16string_view html, std::u16string_view name, std::size_t from) {
    for (std::size_t open = html.find(u'<', from); open != std::u16string_view::npos;
         open = html.find(u'<', open + 1)) {
        if (namedAt(html, open + 1, name)) {
            return {open, html.substr(open, tagEnd(html, open) - open)};
        }
    }
    return {};
}

HtmlTag NextHtmlTag(std::u16string_view html, std::size_t from) {
    for (std::size_t open = html.find(u'<', from); open != std::u16string_view::npos;
         open = html.find(u'<', open + 1)) {
        const char16_t first = open + 1 < html.size() ? html[open + 1] : u'\0';
        if ((first >= u'a' && first <= u'z') || (first >= u'A' && first <= u'Z')) {
            return {open, html.substr(open, tagEnd(html, open) - open)};
        }
    }
    return {};
}

std::optional<std::u16string> HtmlAttribute(std::u16string_view tag, std::u16string_view name) {
    std::size_t i = 1 + tagName(tag).size();
    while (i < tag.size()) {
        while (i < tag.size() && (isBlank(tag[i]) || tag[i] == u'/')) {
            ++i;
        }
        const std::size_t nameStart = i;
        while (i < tag.size() && !endsName(tag[i]) && tag[i] != u'>') {
            ++i;
        }
        const std::u16string_view attribute = tag.substr(nameStart, i - nameStart);
        if (attribute.empty()) {
            // A stray "=" or the closing ">".
            ++i;
            continue;
        }
        while (i < tag.size() && isBlank(tag[i])) {
            ++i;
        }
        std::u16string_view value;
        if (i < tag.size() && tag[i] == u'=') {
            ++i;
            while (i < tag.size() && isBlank(tag[i])) {
                ++i;
            }
            const char16_t quote = i < tag.size() && (tag[i] == u'"' || tag[i] == u'\'') ? tag[i] : char16_t(0);
            const std::size_t valueStart = quote != 0 ? i + 1 : i;
            std::size_t valueEnd = valueStart;
            while (valueEnd < tag.size() &&
                   (quote != 0 ? tag[valueEnd] != quote : !isBlank(tag[valueEnd]) && tag[valueEnd] != u'>')) {
                ++valueEnd;
            }
            value = tag.substr(valueStart, valueEnd - valueStart);
            i = quote != 0 ? valueEnd + 1 : valueEnd;
        }
        if (EqualsIgnoringCase(attribute, name)) {
            return DecodeHtmlText(value);
        }
    }
    return std::nullopt;
}

bool HtmlHasClass(std::u16string_view tag, std::u16string_view className) {
    const std::optional<std::u16string> classes = HtmlAttribute(tag, u"class");
    if (!classes || className.empty()) {
        return false;
    }
    for (std::size_t at = classes->find(className); at != std::u16string::npos; at = classes->find(className, at + 1)) {
        const std::size_t after = at + className.size();
        if ((at == 0 || isBlank((*classes)[at - 1])) && (after == classes->size() || isBlank((*classes)[after]))) {
            return true;
        }
    }
    return false;
}

std::u16string_view HtmlElementContent(std::u16string_view html, const HtmlTag& tag) {
    if (!tag.found()) {
        return {};
    }
    const std::u16string_view name = tagName(tag.text);
    const std::size_t start = tag.offset + tag.text.size();
    int depth = 1;
    for (std::size_t open = html.find(u'<', start); open != std::u16string_view::npos;
         open = html.find(u'<', open + 1)) {
        const bool closing = open + 1 < html.size() && html[open + 1] == u'/';
        if (!namedAt(html, open + (closing ? 2 : 1), name)) {
            continue;
        }
        depth += closing ? -1 : 1;
        if (depth == 0) {
            return html.substr(start, open - start);
        }
    }
    return html.substr(std::min(start, html.size()));
}

std::u16string DrawnMarkup(std::u16string_view html) {
    std::u16string drawn;
    std::size_t i = 0;
    while (i < html.size()) {
        const std::size_t open = html.find(u'<', i);
        drawn.append(html.substr(i, open == std::u16string_view::npos ? html.npos : open - i));
        if (open == std::u16string_view::npos) {
            break;
        }
        if (html.substr(open, 4) == u"<!--") {
            const std::size_t close = html.find(u"-->", open + 4);
            i = close == std::u16string_view::npos ? html.size() : close + 3;
        } else if (namedAt(html, open + 1, u"script") || namedAt(html, open + 1, u"style") ||
                   namedAt(html, open + 1, u"template")) {
            i = rawTextEnd(html, open, tagName(html.substr(open, tagEnd(html, open) - open)));
        } else {
            i = tagEnd(html, open);
            drawn.append(html.substr(open, i - open));
        }
    }
    return drawn;
}

std::u16string HtmlText(std::u16string_view html) {
    const std::u16string drawn = DrawnMarkup(html);
    std::u16string text;
    for (std::size_t i = 0; i < drawn.size();) {
        const std::size_t open = drawn.find(u'<', i);
        text.append(drawn.substr(i, open == std::u16string::npos ? drawn.npos : open - i));
        i = open == std::u16string::npos ? drawn.size() : tagEnd(drawn, open);
    }
    std::u16string collapsed;
    for (const char16_t c : DecodeHtmlText(text)) {
        if (!isBlank(c)) {
            collapsed.push_back(c);
        } else if (!collapsed.empty() && collapsed.back() != u' ') {
            collapsed.push_back(u' ');
        }
    }
    if (!collapsed.empty() && collapsed.back() == u' ') {
        collapsed.pop_back();
    }
    return collapsed;
}

} // namespace tarvisk
