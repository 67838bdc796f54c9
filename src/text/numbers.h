#pragma once

#include <string>
#include <string_view>

namespace tarvisk {

/// The decimal number at the start of a text: leading blanks skipped, an optional sign, digits
/// with at most one decimal point; 0 when the text does not begin with a number.
/// u"10" gives 10, u" 2.5x" gives 2.5, u"abc" and u"" give 0.
double LeadingNumber(const std::u16string& text);

/// A sales count as the marketplace writes it, as digits: the count at the start of the text (leading blanks
/// skipped), read in units of ten thousand when 万 follows (also written as the escape "\u4e07"), where a
/// fraction counts to four places; without 万 a fraction is dropped. u"2.3万+人付款" gives u"23000",
/// u"1.25万" u"12500", u"600+人付款" u"600", u"0人付款" u"0"; empty when the text does not begin with a digit.
std::u16string SalesCount(std::u16string_view text);

/// A number in its shortest decimal form: 12 gives u"12", 99.5 gives u"99.5", -3 gives u"-3".
std::u16string NumberText(double value);

/// A single-precision number in general format with up to seven significant digits and a
/// leading "0" before the decimal point: 0.7055475f gives u"0.7055475".
std::u16string SingleText(float value);

/// The cache-busting random field: re-seeds from the clock, draws one single-precision r with
/// 0 <= r < 1 and returns SingleText(r).
std::u16string RandomField();

} // namespace tarvisk
