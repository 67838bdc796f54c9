#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>

// WinHttpFetch's private cookie jar: 21 flat slots of "name=value; " entries, kept in memory
// for the life of the program, never written to disk, with no notion of domain, path or expiry.

namespace tarvisk {

class CookieJar {
public:
    static constexpr int kSlots = 21;
    /// The longest a slot grows, in characters: far above any real jar (a few KiB), far below what
    /// would make every request fail (a server that sets thousands of new cookies on every page).
    static constexpr std::size_t kMaxSlotChars = 64 * 1024;

    /// The jar of this process.
    static CookieJar& instance();

    /// The slot's text; a slot outside 0..20 means slot 0.
    std::u16string slot(int index) const;
    void setSlot(int index, std::u16string text);
    /// Stores MergeCookies(slot, fresh, kMaxSlotChars) into the slot in one step, so concurrent
    /// requests that share a slot lose no cookie.
    void mergeIntoSlot(int index, const std::u16string& fresh);
    /// Empties every slot (tests only; the program never clears the jar).
    void clear();

    /// Slot number actually used for `index`: above 20 (or negative) means 0.
    static int slotIndex(int index);

private:
    // A front end may run a job on a worker thread while another reads or writes the jar.
    mutable std::mutex m_mutex;
    std::array<std::u16string, kSlots> m_slots;
};

/// Folds freshly received cookies into a slot's text. Blanks vanish, a name keeps its first
/// position and takes its last value, pieces without a name drop out, every entry ends in "; ".
/// MergeCookies(u"a=1; b=2; ", u"b=3;c=4;") == u"a=1; b=3; c=4; ".
std::u16string MergeCookies(const std::u16string& stored, const std::u16string& fresh);
/// The same merge into a slot that holds at most `limit` characters. A merge that fits is
/// MergeCookies exactly; one that does not goes piece by piece, and once a new name would make the
/// slot longer than the limit no new name is added, and a value that would leaves the old value.
std::u16string MergeCookies(const std::u16string& stored, const std::u16string& fresh, std::size_t limit);

/// The text before the first `separator`; empty when it does not occur.
std::u16string TextBefore(const std::u16string& text, const std::u16string& separator);
/// The text after the first `separator`; for a missing one-character separator the whole text.
std::u16string TextAfter(const std::u16string& text, const std::u16string& separator);

/// The address to open for a typed address; rewrites `url` in place to its lower-cased form with
/// forward slashes. u"Shop.COM/x" gives u"http://shop.com/x" and leaves `url` == u"shop.com/x".
std::u16string NormalizeUrl(std::u16string& url);

} // namespace tarvisk
