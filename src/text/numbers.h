#pragma once

#include <string>

namespace tarvisk {

/// The decimal number at the start of a text: leading blanks skipped, an optional sign, digits
/// with at most one decimal point; 0 when the text does not begin with a number.
/// u"10" gives 10, u" 2.5x" gives 2.5, u"abc" and u"" give 0.
double LeadingNumber(const std::u16string& text);

/// A number in its shortest decimal form: 12 gives u"12", 99.5 gives u"99.5", -3 gives u"-3".
std::u16string NumberText(double value);

/// A single-precision number in general format with up to seven significant digits and a
/// leading "0" before the decimal point: 0.7055475f gives u"0.7055475".
std::u16string SingleText(float value);

/// The cache-busting random field: re-seeds from the clock, draws one single-precision r with
/// 0 <= r < 1 and returns SingleText(r).
std::u16string RandomField();

} // namespace tarvisk
