#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>

// WinHttpFetch's private cookie jar: 21 flat slots of "name=value; " entries, kept in memory
// for the life of the program, never written to disk, with no notion of domain, path or expiry.

namespace tarvisk {

/// How much one slot holds, as browsers bound a site's cookies: a server refuses a request whose
/// Cookie line is too long (8 KiB is a common limit for one header line, and for all of them on
/// some servers), and one answer that sets thousands of cookies must not make every later request
/// of the slot fail. Sizes are UTF-8 bytes, as the Cookie line is sent.
struct SlotLimits {
    /// The longest "name=value" taken; a longer cookie is ignored and the name keeps its value.
    std::size_t cookieBytes = 4096;
    /// The most entries a slot keeps (attributes such as "path=/" are entries too).
    std::size_t cookies = 50;
    /// The longest slot text, all "name=value; " entries: the Cookie line leaves room beside it.
    std::size_t slotBytes = 6 * 1024;
};

class CookieJar {
public:
    static constexpr int kSlots = 21;
    /// What every slot of the jar holds at most.
    static constexpr SlotLimits kSlotLimits{};

    /// The jar of this process.
    static CookieJar& instance();

    /// The slot's text; a slot outside 0..20 means slot 0.
    std::u16string slot(int index) const;
    void setSlot(int index, std::u16string text);
    /// Stores MergeCookies(slot, fresh, kSlotLimits) into the slot in one step, so concurrent
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
/// The same merge into a slot bounded by `limits`. A piece longer than a cookie may be is ignored
/// (its name keeps the value it had); then, while the slot has too many entries or too many bytes,
/// its oldest addition (the first entry) goes, so new cookies always get in. A merge within the
/// limits is MergeCookies exactly; any other is a tail of the merge of the pieces that fit.
std::u16string MergeCookies(const std::u16string& stored, const std::u16string& fresh, const SlotLimits& limits);

/// The text before the first `separator`; empty when it does not occur.
std::u16string TextBefore(const std::u16string& text, const std::u16string& separator);
/// The text after the first `separator`; for a missing one-character separator the whole text.
std::u16string TextAfter(const std::u16string& text, const std::u16string& separator);

/// The address to open for a typed address; rewrites `url` in place to its lower-cased form with
/// forward slashes. u"Shop.COM/x" gives u"http://shop.com/x" and leaves `url` == u"shop.com/x".
std::u16string NormalizeUrl(std::u16string& url);

} // namespace tarvisk
