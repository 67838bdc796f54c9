#include "text/numbers.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "text/text_ops.h"

namespace tarvisk {

namespace {

std::u16string widen(const char* first, const char* last) {
    return std::u16string(first, last);
}

/// The end of a decimal number without the trailing zeros of its fraction (and without a
/// point left bare): "0.5000" ends after "0.5", "12.000" after "12", "100" stays.
const char* trimFraction(const char* first, const char* last) {
    if (std::find(first, last, '.') == last)
        return last;
    while (last[-1] == '0')
        --last;
    return last[-1] == '.' ? last - 1 : last;
}

/// Number texts write the exponent with a capital E: "1.5E-05", not "1.5e-05".
void upperExponent(char* first, char* last) {
    for (char* p = first; p != last; ++p) {
        if (*p == 'e')
            *p = 'E';
    }
}

std::u16string nonFiniteText(double value) {
    if (std::isnan(value))
        return u"NaN";
    return value < 0 ? u"-Infinity" : u"Infinity";
}

} // namespace

double LeadingNumber(const std::u16string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n'))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
    }
    bool point = false;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits = true;
            number += static_cast<char>(c);
        } else if (c == u'.' && !point) {
            point = true;
            number += '.';
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too many digits for a double: huge when there is a non-zero digit before the point,
        // else too small to tell from 0.
        const auto integer = number.substr(0, number.find('.'));
        const bool huge = integer.find_first_not_of("-0") != std::string::npos;
        value = huge ? (number[0] == '-' ? -HUGE_VAL : HUGE_VAL) : 0;
    }
    return value == 0 ? 0 : value;
}

std::u16string SalesCount(std::u16string_view text) {
    constexpr std::u16string_view kWan = u"万";
    constexpr std::u16string_view kWanEscape = u"\\u4e07";
    // Ten thousand has four zeros: the places a fraction of 万 can fill.
    constexpr std::size_t kWanPlaces = 4;
    const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    const std::size_t integerStart = i;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    std::u16string digits(text.substr(integerStart, i - integerStart));
    if (digits.empty()) {
        return {};
    }
    std::u16string fraction;
    if (i + 1 < text.size() && text[i] == u'.' && isDigit(text[i + 1])) {
        for (++i; i < text.size() && isDigit(text[i]); ++i) {
            fraction.push_back(text[i]);
        }
    }
    const std::u16string_view rest = text.substr(i);
    if (rest.starts_with(kWan) ||
        (rest.size() >= kWanEscape.size() && EqualsIgnoringCase(rest.substr(0, kWanEscape.size()), kWanEscape))) {
        fraction.resize(kWanPlaces, u'0');
        digits += fraction;
    }
    const std::size_t first = digits.find_first_not_of(u'0');
    return first == std::u16string::npos ? u"0" : digits.substr(first);
}

std::u16string NumberText(double value) {
    if (!std::isfinite(value))
        return nonFiniteText(value);
    if (value == 0)
        return u"0";
    // Plain digits for everything a page or a count can hold (a nine-digit credit score stays
    // "100000000", not "1e+08"); the exponent form only for the very large and the very small.
    const double magnitude = std::fabs(value);
    const bool plain = magnitude >= 1e-5 && magnitude < 1e15;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      plain ? std::chars_format::fixed : std::chars_format::scientific);
    upperExponent(buffer, result.ptr);
    return widen(buffer, result.ptr);
}

std::u16string SingleText(float value) {
    if (!std::isfinite(value))
        return nonFiniteText(value);
    if (value == 0)
        return u"0";
    // Round once to seven significant digits; the exponent after rounding decides the form.
    char digits[32];
    char* digitsEnd = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, 6).ptr;
    char* e = std::find(digits, digitsEnd, 'e');
    // to_chars does not terminate the buffer: read the exponent within its bounds only.
    int exponent = 0;
    const char* exponentStart = e + 1 < digitsEnd && e[1] == '+' ? e + 2 : e + 1;
    std::from_chars(exponentStart, digitsEnd, exponent);
    std::string text;
    if (exponent < -4 || exponent >= 7) {
        // Mantissa without trailing zeros, "E", a signed exponent of at least two digits: 3.051758E-05.
        text.assign(digits, trimFraction(digits, e) - digits);
        char exponentText[16];
        std::snprintf(exponentText, sizeof exponentText, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        text += exponentText;
    } else {
        char fixed[64];
        char* fixedEnd = std::to_chars(fixed, fixed + sizeof fixed, value, std::chars_format::fixed, 6 - exponent).ptr;
        text.assign(fixed, trimFraction(fixed, fixedEnd) - fixed);
    }
    return std::u16string(text.begin(), text.end());
}

std::u16string RandomField() {
    // Re-seeded from the clock on every call, as each request draws a fresh cache-busting value.
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
    std::mt19937 generator(seed);
    // 24 random bits scaled by 2^-24: every value is exact in single precision and below 1, which
    // a float distribution does not promise after rounding.
    const float r = static_cast<float>(generator() >> 8) * 0x1p-24f;
    return SingleText(r);
}

} // namespace tarvisk
