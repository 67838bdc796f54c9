// MergeCookies, TextBefore and TextAfter over fuzzed cookie texts: the merged slot is always in slot
// form ("name=value; " entries, no other blanks, every name once), merging nothing into it changes
// nothing, every name holds the value of its last piece, and a slot with a limit stays within it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "core/utf8.h"
#include "fuzz_support.h"
#include "net/cookie_jar.h"
#include "text/text_ops.h"

namespace {

using tarvisk::fuzz::Check;

void CheckSlotForm(const std::u16string& slot) {
    Check(slot.empty() || slot.ends_with(u"; "), "a slot is empty or ends with \"; \"");
    std::set<std::u16string> names;
    for (std::size_t start = 0; start < slot.size();) {
        const std::size_t end = slot.find(u"; ", start);
        Check(end != std::u16string::npos, "every entry ends with \"; \"");
        const std::u16string entry = slot.substr(start, end - start);
        Check(entry.find(u' ') == std::u16string::npos && entry.find(u';') == std::u16string::npos,
              "an entry holds no blank and no \";\"");
        const std::u16string name = tarvisk::TextBefore(entry, u"=");
        Check(!name.empty(), "every entry has a name and \"=\"");
        Check(names.insert(name).second, "every name is in the slot once");
        start = end + 2;
    }
}

std::size_t EntryCount(const std::u16string& slot) {
    std::size_t entries = 0;
    for (std::size_t at = slot.find(u"; "); at != std::u16string::npos; at = slot.find(u"; ", at + 2))
        ++entries;
    return entries;
}

/// The pieces of a cookie text whose name and value take at most `bytes` (UTF-8), the others left out.
std::u16string CookiesWithin(std::u16string text, std::size_t bytes) {
    std::erase(text, u' ');
    std::u16string kept;
    for (const std::u16string& piece : tarvisk::SplitAt(text, u";")) {
        if (tarvisk::ToUtf8(piece).size() <= bytes + (piece.find(u'=') != std::u16string::npos ? 1 : 0))
            kept += piece + u";";
    }
    return kept;
}

/// The value each name ends up with: that of its last piece in the stored text, then the fresh one.
std::map<std::u16string, std::u16string> LastValues(const std::u16string& stored, const std::u16string& fresh) {
    std::map<std::u16string, std::u16string> values;
    for (const std::u16string* text : {&stored, &fresh}) {
        std::u16string blankless = *text;
        std::erase(blankless, u' ');
        for (const std::u16string& piece : tarvisk::SplitAt(blankless, u";")) {
            const std::size_t equals = piece.find(u'=');
            if (equals != std::u16string::npos && equals > 0)
                values[piece.substr(0, equals)] = piece.substr(equals + 1);
        }
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto pieces = tarvisk::fuzz::Pieces(data, size, 3);
    const std::u16string stored = tarvisk::fuzz::PageText(pieces[0]);
    const std::u16string fresh = tarvisk::fuzz::PageText(pieces[1]);

    const std::u16string merged = tarvisk::MergeCookies(stored, fresh);
    CheckSlotForm(merged);
    Check(tarvisk::MergeCookies(merged, {}) == merged, "merging nothing keeps the slot");
    Check(tarvisk::MergeCookies({}, merged) == merged, "a slot merged into an empty slot stays the same");
    const auto values = LastValues(stored, fresh);
    const std::size_t entries = EntryCount(merged);
    Check(entries == values.size(), "one entry for every name");
    for (const auto& [name, value] : values)
        Check(tarvisk::fuzz::Contains(u"; " + merged, u"; " + name + u"=" + value + u"; "),
              "a name takes the value of its last piece");

    // A bounded slot stays within its limits and in slot form, is the plain merge when that fits, and else keeps a
    // tail of the merge of the pieces short enough to be cookies.
    const tarvisk::SlotLimits limits{size % 13, size % 7, size % 97};
    const std::u16string capped = tarvisk::MergeCookies(stored, fresh, limits);
    CheckSlotForm(capped);
    Check(tarvisk::ToUtf8(capped).size() <= limits.slotBytes, "a bounded slot holds at most its bytes");
    Check(EntryCount(capped) <= limits.cookies, "a bounded slot holds at most its cookies");
    const std::u16string fitting =
        tarvisk::MergeCookies(CookiesWithin(stored, limits.cookieBytes), CookiesWithin(fresh, limits.cookieBytes));
    Check(fitting.ends_with(capped) && (capped.empty() || fitting.size() == capped.size() ||
                                        fitting[fitting.size() - capped.size() - 1] == u' '),
          "a bounded slot keeps the newest entries of the merge of the cookies that fit");
    if (fitting == merged && tarvisk::ToUtf8(merged).size() <= limits.slotBytes && entries <= limits.cookies)
        Check(capped == merged, "within its limits a bounded merge is the plain merge");

    // The separator routines on any separator, the empty one included.
    const std::u16string separator = tarvisk::fuzz::PageText(pieces[2]).substr(0, 4);
    const std::u16string before = tarvisk::TextBefore(stored, separator);
    const std::u16string after = tarvisk::TextAfter(stored, separator);
    Check(stored.starts_with(before), "TextBefore gives a head of the text");
    Check(stored.ends_with(after), "TextAfter gives a tail of the text");
    if (stored.find(separator) != std::u16string::npos)
        Check(before + separator + after == stored, "the text is what lies before, the separator, what lies after");
    return 0;
}
