#include "net/win_http_steps.h"

#include <algorithm>

#include "net/cookie_jar.h"
#include "text/text_ops.h"

namespace tarvisk::net {

namespace {

constexpr char16_t kUserAgent[] =
    u"Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/31.0.1650.63 Safari/537.36";

/// Sets one header the way the request object does: same name replaces, empty value removes.
void setHeader(std::vector<HeaderField>& fields, const std::u16string& name, std::u16string value) {
    if (!IsToken(name))
        return;
    // A line break inside a value would start a header of the caller's making.
    std::erase_if(value, [](char16_t c) { return c == u'\r' || c == u'\n' || c == u'\0'; });
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const HeaderField& field) { return EqualsIgnoringCase(field.name, name); });
    if (value.empty()) {
        if (found != fields.end())
            fields.erase(found);
    } else if (found != fields.end()) {
        found->value = std::move(value);
    } else {
        fields.push_back({name, std::move(value)});
    }
}

} // namespace

bool IsToken(const std::u16string& name) {
    static constexpr std::u16string_view kSymbols = u"!#$%&'*+-.^_`|~";
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
               kSymbols.find(c) != std::u16string_view::npos;
    });
}

std::u16string ProxyServer(const std::u16string& proxy) {
    std::u16string server = TrimBlanks(proxy);
    if (server.empty())
        return server;
    std::replace(server.begin(), server.end(), u'\t', u' ');
    for (int pass = 0; pass < 4; ++pass)
        server = ReplaceAll(server, u"  ", u" ");
    if (server.find(u' ') != std::u16string::npos && server.find(u':') == std::u16string::npos)
        std::replace(server.begin(), server.end(), u' ', u':');
    return server;
}

std::vector<HeaderField> RequestHeaderFields(const std::u16string& headerText, const std::u16string& slotText) {
    std::vector<HeaderField> fields;
    setHeader(fields, u"Content-Type", u"application/x-www-form-urlencoded");
    setHeader(fields, u"User-Agent", kUserAgent);
    const std::u16string slot = TrimBlanks(slotText);
    bool cookieGiven = false;
    std::u16string lines = headerText;
    if (!lines.empty() && lines.find(u"\r\n") == std::u16string::npos)
        lines += u"\r\n";
    if (lines.find(u"\r\n") != std::u16string::npos) {
        for (const std::u16string& line : SplitAt(lines, u"\r\n")) {
            if (line.find(u':') == std::u16string::npos)
                continue;
            const std::u16string name = TextBefore(line, u":");
            const std::u16string value = TrimBlanks(TextAfter(line, u":"));
            // Only a name of exactly "cookie" in any case, blanks around it not allowed.
            if (EqualsIgnoringCase(name, u"cookie")) {
                cookieGiven = true;
                setHeader(fields, TrimBlanks(name), value + slot);
            } else {
                setHeader(fields, TrimBlanks(name), value);
            }
        }
    }
    if (!slot.empty() && !cookieGiven)
        setHeader(fields, u"Cookie", slot);
    return fields;
}

std::u16string CollectSetCookies(const std::u16string& allHeaders) {
    std::u16string collected;
    for (const std::u16string& line : SplitAt(allHeaders, u"\r\n")) {
        if (line.find(u"Set-Cookie:") != std::u16string::npos)
            collected += TrimBlanks(ReplaceAll(line, u"Set-Cookie:", u"")) + u';';
    }
    return collected;
}

} // namespace tarvisk::net
