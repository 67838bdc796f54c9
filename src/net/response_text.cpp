#include "net/response_text.h"

#include <algorithm>
#include <cstddef>

#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

// Pages declare their charset near the top; browsers look no further than this.
constexpr std::size_t kMetaScanBytes = 2048;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool isCharsetCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':';
}

/// The charset named after the first "charset" in `text` (lower-cased), searched from `from` up
/// to `to`: blanks, "=", blanks, an optional quote, then the name. Empty when there is none.
std::string charsetAfterKeyword(const std::string& text, std::size_t from, std::size_t to) {
    for (std::size_t at = text.find("charset", from); at != std::string::npos && at < to;
         at = text.find("charset", at + 1)) {
        std::size_t i = at + 7;
        while (i < to && isBlank(text[i]))
            ++i;
        if (i >= to || text[i] != '=')
            continue;
        ++i;
        while (i < to && isBlank(text[i]))
            ++i;
        if (i < to && (text[i] == '"' || text[i] == '\''))
            ++i;
        const std::size_t start = i;
        while (i < to && isCharsetCharacter(text[i]))
            ++i;
        if (i > start)
            return text.substr(start, i - start);
    }
    return {};
}

std::string metaCharset(const std::string& body) {
    const std::string head = LowerAscii(body.substr(0, kMetaScanBytes));
    for (std::size_t tag = head.find("<meta"); tag != std::string::npos; tag = head.find("<meta", tag + 5)) {
        // A tag cut off by the scan window names no charset: its name may be cut as well.
        const std::size_t end = head.find('>', tag);
        if (end == std::string::npos)
            break;
        std::string charset = charsetAfterKeyword(head, tag, end);
        // A page that could be read this far is no UTF-16 whatever its tag says; browsers read
        // such a page as UTF-8.
        if (charset.starts_with("utf-16"))
            return "utf-8";
        if (!charset.empty())
            return charset;
    }
    return {};
}

} // namespace

std::string DeclaredCharset(const std::string& contentType, const std::string& body) {
    const std::string type = LowerAscii(contentType);
    // The parameters follow the media type after ";".
    const std::size_t parameters = type.find(';');
    std::string charset =
        parameters == std::string::npos ? std::string() : charsetAfterKeyword(type, parameters, type.size());
    return charset.empty() ? metaCharset(body) : charset;
}

std::u16string ResponseText(const std::string& contentType, const std::string& body) {
    const std::string charset = DeclaredCharset(contentType, body);
    return charset.empty() ? DecodeUtf8Bytes(body) : DecodeCharsetBytes(body, charset);
}

} // namespace tarvisk
