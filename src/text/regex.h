#pragma once

#include <string>
#include <vector>

// Page parsing is regular-expression matching on whole page texts, in one dialect everywhere:
// ECMAScript-like, case-insensitive, every match collected, "." matching anything but a line
// feed (a carriage return is matched), \w and \d ASCII only, anchors only at the ends of the
// whole text. Positions count UTF-16 code units from 1.
//
// Compiled patterns and the latest scans are cached per thread, so callers that ask for match
// 1, 2, 3 ... of the same page do not rescan it; every call returns what a fresh scan would.

namespace tarvisk {

/// One match of a scan: its text and its 0-based start offset.
struct RegexHit {
    std::u16string value;
    std::size_t offset = 0;
};

/// The first `limit` matches of `pattern` in `text` (all of them by default), in order, not
/// overlapping; the scan stops at the limit and keeps no copy of the text. Throws
/// std::invalid_argument when the engine rejects the pattern. A match attempt that exceeds the
/// engine's work limits (a pattern backtracking without end on a hostile page) ends the scan with
/// the matches found so far.
std::vector<RegexHit> RegexMatches(const std::u16string& text, const std::u16string& pattern,
                                   std::size_t limit = static_cast<std::size_t>(-1));

/// The same scan without any cache: compiles the pattern and scans the whole text on every call.
/// For measurements and cross-checks of the cached lookups (RegexMatch, RegexPosition).
std::vector<RegexHit> RegexScanFresh(const std::u16string& text, const std::u16string& pattern);

/// Text of the index-th match (1-based); index 0 means the last match; empty when there is none
/// (also for a negative index). Throws std::invalid_argument for an invalid pattern.
std::u16string RegexMatch(const std::u16string& text, const std::u16string& pattern, int index);

/// 1-based position of the index-th match; 0 when there is none and for index 0.
/// Throws std::invalid_argument for an invalid pattern. Positions are not cut to 16 bits.
int RegexPosition(const std::u16string& text, const std::u16string& pattern, int index);

/// The text after the startIndex-th match of startMarker up to the endIndex-th match of
/// endMarker (indices 0 mean 1). Never throws: an invalid marker reads as a missing one.
/// Example: TextBetween(u"x<b>bold</b>y", u"<b>", u"</b>", 0, 0) == u"bold".
std::u16string TextBetween(const std::u16string& text, const std::u16string& startMarker,
                           const std::u16string& endMarker, int startIndex, int endIndex);

/// The part of the index-th match of `pattern` that `wildcard` matched: the pattern is split at
/// the wildcard into a prefix and a suffix pattern, and what they matched is cut off the match.
/// Example: RegexCapture(u"<td class=\"rateok\">3</td>", u"<td class=\"rateok\">.*?</td>", 1, u".*?") == u"3".
/// An empty wildcard counts as absent; pieces that overlap inside the match give empty text.
/// Throws std::invalid_argument when the pattern or one of its pieces is not a valid pattern.
std::u16string RegexCapture(const std::u16string& text, const std::u16string& pattern, int index,
                            const std::u16string& wildcard);

/// The text between tags: every match of ">.*?<" without its first and last character,
/// concatenated. A text without any tag gives empty text.
std::u16string StripTags(const std::u16string& text);

} // namespace tarvisk
