#include "net/cookie_jar.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <vector>

#include "text/text_ops.h"

namespace tarvisk {

namespace {

std::u16string withoutBlanks(std::u16string text) {
    std::erase(text, u' ');
    return text;
}

/// The merge, piece by piece; a piece that would take the text past `limit` is left out.
std::u16string mergePieces(const std::u16string& stored, const std::u16string& fresh, std::size_t limit) {
    // Every piece of both texts in order; a name keeps the position of its first piece and the
    // value of its last one. Attributes such as "path=/" are pieces like any other.
    std::vector<std::pair<std::u16string, std::u16string>> entries;
    std::unordered_map<std::u16string, std::size_t> positions;
    std::size_t length = 0; // of the merged text: name, "=", value and "; " for each entry
    for (const std::u16string* text : {&stored, &fresh}) {
        for (const std::u16string& piece : SplitAt(withoutBlanks(*text), u";")) {
            std::u16string name = TextBefore(piece, u"=");
            if (name.empty())
                continue;
            std::u16string value = TextAfter(piece, u"=");
            const auto found = positions.find(name);
            if (found == positions.end()) {
                const std::size_t entryLength = name.size() + value.size() + 3;
                if (entryLength > limit - std::min(length, limit))
                    continue;
                length += entryLength;
                positions.emplace(name, entries.size());
                entries.emplace_back(std::move(name), std::move(value));
            } else {
                std::u16string& kept = entries[found->second].second;
                const std::size_t without = length - kept.size();
                if (value.size() > limit - std::min(without, limit))
                    continue;
                length = without + value.size();
                kept = std::move(value);
            }
        }
    }
    std::u16string merged;
    merged.reserve(length);
    for (const auto& [name, value] : entries)
        merged += name + u'=' + value + u"; ";
    return merged;
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
    text = MergeCookies(text, fresh, kMaxSlotChars);
}

void CookieJar::clear() {
    std::lock_guard lock(m_mutex);
    m_slots.fill({});
}

std::u16string MergeCookies(const std::u16string& stored, const std::u16string& fresh) {
    return mergePieces(stored, fresh, std::u16string::npos);
}

std::u16string MergeCookies(const std::u16string& stored, const std::u16string& fresh, std::size_t limit) {
    std::u16string merged = MergeCookies(stored, fresh);
    // Only a merge that does not fit is made again under the limit, so that a slot within it is
    // exactly what the rule makes.
    return merged.size() <= limit ? merged : mergePieces(stored, fresh, limit);
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
