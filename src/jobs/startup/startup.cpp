#include "jobs/startup/startup.h"

#include "net/endpoints.h"
#include "net/win_http.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

bool startsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    return EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

bool RunsFromArchiveFolder(const std::u16string& programFolder) {
    const std::size_t cut = programFolder.find_last_of(u"/\\");
    const std::u16string last = cut == std::u16string::npos ? programFolder : programFolder.substr(cut + 1);
    return startsWithNoCase(last, u"rar") || startsWithNoCase(last, u"zip");
}

std::u16string LoginPageUrl() {
    return u"https://" + std::u16string(endpoints::kLoginHost) + u"/member/login.jhtml";
}

std::u16string NoticeUrl() {
    return u"http://" + std::u16string(endpoints::kNoticeHost) + u"/tb2.htm";
}

std::u16string FetchNotice() {
    std::u16string url = NoticeUrl();
    return WinHttpFetch(url, u"", u"POST", u"", 0, 10, 0, u"", u"");
}

std::optional<Notice> ParseNotice(const std::u16string& answer) {
    const std::size_t bar = answer.find(u'|');
    if (answer.empty() || bar == std::u16string::npos || answer.find(u'<') != std::u16string::npos) {
        return std::nullopt;
    }
    const std::size_t next = answer.find(u'|', bar + 1);
    const std::size_t addressLength = next == std::u16string::npos ? std::u16string::npos : next - bar - 1;
    return Notice{answer.substr(0, bar), answer.substr(bar + 1, addressLength)};
}

bool IsWebAddress(const std::u16string& address) {
    for (const std::u16string_view scheme : {std::u16string_view(u"http://"), std::u16string_view(u"https://")}) {
        if (startsWithNoCase(address, scheme)) {
            const std::u16string host = address.substr(scheme.size());
            return !host.empty() && host.find_first_of(u"/?#") != 0;
        }
    }
    return false;
}

} // namespace tarvisk
