#include "text/regex.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk {

namespace {

// The page dialect on PCRE2's 16-bit library without UTF mode, so positions, "." and character
// classes work on UTF-16 code units and a lone surrogate is an ordinary unit. No UCP: \w and \d
// stay ASCII. ALT_BSUX gives \uhhhh and \xhh their ECMAScript meaning, ALLOW_EMPTY_CLASS makes
// "[]" match nothing and "[^]" anything, MATCH_UNSET_BACKREF lets a reference to a group that
// did not take part match the empty text, all as the page patterns expect.
constexpr std::uint32_t kCompileOptions =
    PCRE2_CASELESS | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF;

// Bounds on the work of one match attempt, so no pattern can run away on an adversarial page.
// A scan that reaches one of them ends there and keeps the matches it found before.
constexpr std::uint32_t kMatchLimit = 10'000'000;
constexpr std::uint32_t kDepthLimit = 250'000;
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 4 * 1024 * 1024;

// Per-thread caches: compiled patterns, and the latest scans with the texts they were made on.
constexpr std::size_t kMaxPatterns = 64;
constexpr std::size_t kMaxScans = 8;
constexpr std::size_t kMaxScannedUnits = 8 * 1024 * 1024;
constexpr std::size_t kAllMatches = static_cast<std::size_t>(-1);

PCRE2_SPTR16 units(const std::u16string& text) {
    return reinterpret_cast<PCRE2_SPTR16>(text.data());
}

/// Whole-content equality at memory speed (the character-wise comparison of std::u16string is
/// several times slower on a page); a cache lookup costs one such comparison.
bool sameText(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

/// Everything a match needs besides the pattern: the limits and a JIT stack, one set per thread.
class MatchResources {
public:
    MatchResources()
        : m_context(pcre2_match_context_create_16(nullptr)),
          m_jitStack(pcre2_jit_stack_create_16(kJitStackStart, kJitStackMax, nullptr)) {
        if (m_context == nullptr)
            return;
        pcre2_set_match_limit_16(m_context, kMatchLimit);
        pcre2_set_depth_limit_16(m_context, kDepthLimit);
        if (m_jitStack != nullptr)
            pcre2_jit_stack_assign_16(m_context, nullptr, m_jitStack);
    }
    ~MatchResources() {
        pcre2_match_context_free_16(m_context);
        pcre2_jit_stack_free_16(m_jitStack);
    }
    MatchResources(const MatchResources&) = delete;
    MatchResources& operator=(const MatchResources&) = delete;

    pcre2_match_context_16* context() const { return m_context; }

private:
    pcre2_match_context_16* m_context;
    pcre2_jit_stack_16* m_jitStack;
};

/// A pattern compiled in the page dialect, with JIT code where the platform has it.
class CompiledPattern {
public:
    /// Throws std::invalid_argument, naming the pattern and the engine's reason, when the
    /// pattern is not valid.
    explicit CompiledPattern(const std::u16string& pattern) {
        pcre2_compile_context_16* compileContext = pcre2_compile_context_create_16(nullptr);
        // Only a line feed ends a line: "." matches a carriage return.
        pcre2_set_newline_16(compileContext, PCRE2_NEWLINE_LF);
        int errorCode = 0;
        PCRE2_SIZE errorOffset = 0;
        m_code =
            pcre2_compile_16(units(pattern), pattern.size(), kCompileOptions, &errorCode, &errorOffset, compileContext);
        pcre2_compile_context_free_16(compileContext);
        if (m_code == nullptr) {
            PCRE2_UCHAR16 message[256];
            const int length = pcre2_get_error_message_16(errorCode, message, std::size(message));
            const std::u16string reason(reinterpret_cast<const char16_t*>(message), std::max(length, 0));
            throw std::invalid_argument("invalid regular expression \"" + ToUtf8(pattern) + "\" at offset " +
                                        std::to_string(errorOffset) + ": " + ToUtf8(reason));
        }
        // Without JIT the interpreter runs the same pattern, only slower.
        pcre2_jit_compile_16(m_code, PCRE2_JIT_COMPLETE);
        m_matchData = pcre2_match_data_create_from_pattern_16(m_code, nullptr);
    }
    ~CompiledPattern() {
        pcre2_match_data_free_16(m_matchData);
        pcre2_code_free_16(m_code);
    }
    CompiledPattern(const CompiledPattern&) = delete;
    CompiledPattern& operator=(const CompiledPattern&) = delete;

    /// The first `limit` matches in `text`, in order and not overlapping, found as an ECMAScript
    /// global scan finds them: the next attempt starts where a match ended, one unit further after
    /// an empty match. A scan that reaches a work limit ends with the matches found so far.
    std::vector<RegexHit> scan(const std::u16string& text, std::size_t limit = kAllMatches) const {
        thread_local const MatchResources resources;
        std::vector<RegexHit> hits;
        if (m_matchData == nullptr || resources.context() == nullptr)
            return hits;
        std::size_t start = 0;
        while (start <= text.size() && hits.size() < limit) {
            const int result =
                pcre2_match_16(m_code, units(text), text.size(), start, 0, m_matchData, resources.context());
            if (result < 0)
                break;
            const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer_16(m_matchData);
            const std::size_t begin = ovector[0];
            const std::size_t end = std::max(ovector[1], begin);
            hits.push_back({text.substr(begin, end - begin), begin});
            start = end > begin ? end : end + 1;
        }
        return hits;
    }

private:
    pcre2_code_16* m_code = nullptr;
    pcre2_match_data_16* m_matchData = nullptr;
};

/// The compiled form of `pattern` from this thread's cache of recently used patterns.
const CompiledPattern& compiled(const std::u16string& pattern) {
    using Entry = std::pair<std::u16string, std::unique_ptr<CompiledPattern>>;
    thread_local std::vector<Entry> cache; // most recently used first
    const auto found = std::find_if(cache.begin(), cache.end(), [&](const Entry& e) { return e.first == pattern; });
    if (found != cache.end()) {
        std::rotate(cache.begin(), found, found + 1);
    } else {
        Entry entry(pattern, std::make_unique<CompiledPattern>(pattern));
        if (cache.size() == kMaxPatterns)
            cache.pop_back();
        cache.insert(cache.begin(), std::move(entry));
    }
    return *cache.front().second;
}

/// One finished scan: the pattern, the text it ran on (shared between scans of the same text)
/// and its matches.
struct Scan {
    std::u16string pattern;
    std::shared_ptr<const std::u16string> text;
    std::vector<RegexHit> hits;
};

/// This thread's recent scans, most recently used first. A lookup compares the whole text, not
/// its address or size, so a text changed in place is never answered from an old scan.
class ScanCache {
public:
    const Scan* find(const std::u16string& text, const std::u16string& pattern) {
        const auto found = std::find_if(m_scans.begin(), m_scans.end(), [&](const std::unique_ptr<Scan>& scan) {
            return scan->pattern == pattern && sameText(*scan->text, text);
        });
        if (found == m_scans.end())
            return nullptr;
        std::rotate(m_scans.begin(), found, found + 1);
        return m_scans.front().get();
    }

    const Scan& insert(const std::u16string& text, const std::u16string& pattern, std::vector<RegexHit> hits) {
        // The shop crawl runs several patterns over one page: keep one copy of the page.
        std::shared_ptr<const std::u16string> shared;
        for (const auto& scan : m_scans) {
            if (sameText(*scan->text, text)) {
                shared = scan->text;
                break;
            }
        }
        if (!shared)
            shared = std::make_shared<const std::u16string>(text);
        m_units += text.size();
        m_scans.insert(m_scans.begin(), std::make_unique<Scan>(Scan{pattern, std::move(shared), std::move(hits)}));
        // The newest scan always stays: its matches are what the caller is about to read.
        while (m_scans.size() > 1 && (m_scans.size() > kMaxScans || m_units > kMaxScannedUnits)) {
            m_units -= m_scans.back()->text->size();
            m_scans.pop_back();
        }
        return *m_scans.front();
    }

private:
    std::vector<std::unique_ptr<Scan>> m_scans;
    std::size_t m_units = 0;
};

/// All matches of `pattern` in `text` from this thread's scan cache. The list stays valid only
/// until the next scan on this thread, so it never leaves this file.
const std::vector<RegexHit>& cachedScan(const std::u16string& text, const std::u16string& pattern) {
    thread_local ScanCache cache;
    if (const Scan* scan = cache.find(text, pattern))
        return scan->hits;
    std::vector<RegexHit> hits = compiled(pattern).scan(text);
    return cache.insert(text, pattern, std::move(hits)).hits;
}

/// True when `marker` as a pattern matches just its own text: no letter (whose case the match
/// ignores), no unit from 0x80 to 0xFF (which the engine's tables may fold) and no character
/// with a meaning in a pattern.
bool isLiteral(std::u16string_view marker) {
    constexpr std::u16string_view kSpecial = u"\\^$.|?*+()[]{}";
    return !marker.empty() && std::all_of(marker.begin(), marker.end(), [&](char16_t c) {
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        return c >= 0x100 || (c < 0x80 && !letter && kSpecial.find(c) == std::u16string_view::npos);
    });
}

/// The 1-based position of a marker's index-th match, 0 when it is missing or not a valid pattern.
int markerPosition(const std::u16string& text, const std::u16string& marker, int index) {
    if (isLiteral(marker)) {
        // Found without the engine, counted as its scan counts: each search starts after the
        // previous occurrence.
        if (index < 1)
            return 0;
        std::size_t at = FindText(text, marker);
        for (int k = 1; k < index && at != std::u16string::npos; ++k)
            at = FindText(text, marker, at + marker.size());
        return at < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(at) + 1 : 0;
    }
    try {
        return RegexPosition(text, marker, index);
    } catch (const std::invalid_argument&) {
        return 0;
    }
}

} // namespace

std::vector<RegexHit> RegexMatches(const std::u16string& text, const std::u16string& pattern, std::size_t limit) {
    // The caller takes the matches with it: no copy of the text is kept, and the scan stops at
    // the limit.
    return compiled(pattern).scan(text, limit);
}

std::vector<RegexHit> RegexScanFresh(const std::u16string& text, const std::u16string& pattern) {
    return CompiledPattern(pattern).scan(text);
}

std::u16string RegexMatch(const std::u16string& text, const std::u16string& pattern, int index) {
    const std::vector<RegexHit>& hits = cachedScan(text, pattern);
    if (hits.empty() || index < 0 || static_cast<std::size_t>(index) > hits.size())
        return {};
    return index == 0 ? hits.back().value : hits[index - 1].value;
}

int RegexPosition(const std::u16string& text, const std::u16string& pattern, int index) {
    const std::vector<RegexHit>& hits = cachedScan(text, pattern);
    if (index < 1 || static_cast<std::size_t>(index) > hits.size())
        return 0;
    const std::size_t offset = hits[index - 1].offset;
    return offset < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(offset) + 1 : 0;
}

std::u16string TextBetween(const std::u16string& text, const std::u16string& startMarker,
                           const std::u16string& endMarker, int startIndex, int endIndex) {
    const long long p1 = markerPosition(text, startMarker, startIndex == 0 ? 1 : startIndex);
    const long long p2 = markerPosition(text, endMarker, endIndex == 0 ? 1 : endIndex);
    // The start marker's own length counts, not the length of what it matched.
    const long long markerLength = static_cast<long long>(startMarker.size());
    const long long start = p1 + markerLength;
    const long long length = p2 - p1 - markerLength;
    if (start < 1 || length < 0 || start > static_cast<long long>(text.size()))
        return {};
    return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
}

std::u16string RegexCapture(const std::u16string& text, const std::u16string& pattern, int index,
                            const std::u16string& wildcard) {
    const std::size_t cut = wildcard.empty() ? std::u16string::npos : pattern.find(wildcard);
    if (cut == std::u16string::npos)
        return RegexMatch(text, pattern, index);
    const std::u16string prefix = pattern.substr(0, cut);
    const std::u16string rest = pattern.substr(cut + wildcard.size());
    const std::u16string suffix = rest.substr(0, rest.find(wildcard));
    const std::u16string match = RegexMatch(text, pattern, index);
    if (match.empty())
        return {};
    const std::size_t head = RegexMatch(match, prefix, 1).size();
    const std::size_t tail = RegexMatch(match, suffix, 0).size();
    if (head + tail > match.size())
        return {};
    return match.substr(head, match.size() - head - tail);
}

std::u16string StripTags(const std::u16string& text) {
    std::u16string out;
    for (const RegexHit& hit : cachedScan(text, u">.*?<"))
        out.append(hit.value, 1, hit.value.size() - 2);
    return out;
}

} // namespace tarvisk
