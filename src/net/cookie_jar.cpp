#include "net/cookie_jar.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <unordered_map>
#include <vector>

#include "core/utf8.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

std::u16string withoutBlanks(std::u16string text) {
    std::erase(text, u' ');
    return text;
}

struct Entry {
    std::u16string name;
    std::u16string value;
};

/// Every piece of both texts in order that `takes` lets through; a name keeps the position of its
/// first piece and the value of its last one. Attributes such as "path=/" are pieces like any other.
template <typename Takes>
std::vector<Entry> mergedEntries(const std::u16string& stored, const std::u16string& fresh, Takes takes) {
    std::vector<Entry> entries;
    std::unordered_map<std::u16string, std::size_t> positions;
    for (const std::u16string* text : {&stored, &fresh}) {
        for (const std::u16string& piece : SplitAt(withoutBlanks(*text), u";")) {
            Entry entry{TextBefore(piece, u"="), TextAfter(piece, u"=")};
            if (entry.name.empty() || !takes(entry))
                continue;
            const auto [found, added] = positions.try_emplace(entry.name, entries.size());
            if (added)
                entries.push_back(std::move(entry));
            else
                entries[found->second].value = std::move(entry.value);
        }
    }
    return entries;
}

/// The bytes of a cookie's name and value as they are sent.
std::size_t cookieBytes(const Entry& entry) {
    return ToUtf8(entry.name).size() + ToUtf8(entry.value).size();
}

std::u16string slotText(std::span<const Entry> entries) {
    std::u16string slot;
    for (const Entry& entry : entries)
        slot += entry.name + u'=' + entry.value + u"; ";
    return slot;
}

} // namespace

CookieJar& CookieJar::instance() {
    static CookieJar jar;
    return jar;
}

int CookieJar::slotIndex(int index) {
    return index >= 0 && index < kSlots ? index : 0;
}

std::u16string CookieJar::slot(int index) const {
    std::lock_guard lock(m_mutex);
    return m_slots[slotIndex(index)];
}

void CookieJar::setSlot(int index, std::u16string text) {
    std::lock_guard lock(m_mutex);
    m_slots[slotIndex(index)] = std::move(text);
}

void CookieJar::mergeIntoSlot(int index, const std::u16string& fresh) {
    std::lock_guard lock(m_mutex);
    std::u16string& text = m_slots[slotIndex(index)];
    text = MergeCookies(text, fresh, kSlotLimits);
}

void CookieJar::clear() {
    std::lock_guard lock(m_mutex);
    m_slots.fill({});
}

std::u16string MergeCookies(const std::u16string& stored, const std::u16string& fresh) {
    return slotText(mergedEntries(stored, fresh, [](const Entry&) { return true; }));
}

std::u16string MergeCookies(const std::u16string& stored, const std::u16string& fresh, const SlotLimits& limits) {
    // A cookie too long for a browser is ignored as a browser ignores it, as if it had never come.
    const std::vector<Entry> entries = mergedEntries(
        stored, fresh, [&limits](const Entry& entry) { return cookieBytes(entry) <= limits.cookieBytes; });
    std::vector<std::size_t> sizes;
    std::size_t total = 0;
    for (const Entry& entry : entries) {
        sizes.push_back(cookieBytes(entry) + 3); // with "=" and "; "
        total += sizes.back();
    }
    // The oldest additions make room: a slot never refuses what the server sets now.
    std::size_t first = 0;
    while (first < entries.size() && (entries.size() - first > limits.cookies || total > limits.slotBytes))
        total -= sizes[first++];
    return slotText(std::span(entries).subspan(first));
}

std::u16string TextBefore(const std::u16string& text, const std::u16string& separator) {
    const std::size_t at = text.find(separator);
    return at == std::u16string::npos ? std::u16string() : text.substr(0, at);
}

std::u16string TextAfter(const std::u16string& text, const std::u16string& separator) {
    const std::size_t at = text.find(separator);
    if (at != std::u16string::npos)
        return text.substr(at + separator.size());
    // Without the separator the routine keeps the last L(text) - L(separator) + 1 characters:
    // the whole text for a one-character separator.
    const std::ptrdiff_t keep =
        static_cast<std::ptrdiff_t>(text.size()) - static_cast<std::ptrdiff_t>(separator.size()) + 1;
    return keep <= 0 ? std::u16string() : text.substr(text.size() - static_cast<std::size_t>(keep));
}

std::u16string NormalizeUrl(std::u16string& url) {
    std::replace(url.begin(), url.end(), u'\\', u'/');
    std::u16string result = url;
    url = LowerAscii(url);
    if (url.compare(0, 4, u"http") != 0)
        result = u"http://" + url;
    // "http:" with one slash or none gets its slashes back, one per pass.
    for (int pass = 0; pass < 2; ++pass) {
        if (LowerAscii(result).find(u"http://") == std::u16string::npos)
            result = ReplaceAll(result, u"http:", u"http:/");
    }
    return result;
}

} // namespace tarvisk
