#include "jobs/mtop_answer.h"

#include "text/encoding.h"
#include "text/numbers.h"
#include "text/script_text.h"

namespace tarvisk {

namespace {

struct StatusPrefix {
    std::string_view prefix;
    PageKind kind;
};
constexpr StatusPrefix kStatuses[] = {
    {"SUCCESS", PageKind::Normal},
    {"RGV587_ERROR", PageKind::Verification},
    {"FAIL_SYS_USER_VALIDATE", PageKind::Verification},
    {"FAIL_SYS_SESSION_EXPIRED", PageKind::Login},
};

/// The value of the escape "\uXXXX" at `at`, -1 when none stands there.
int escapeAt(std::u16string_view json, std::size_t at) {
    if (at + 6 > json.size() || json[at] != u'\\' || json[at + 1] != u'u') {
        return -1;
    }
    int value = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const char16_t c = json[i];
        const int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                          : c >= u'a' && c <= u'f' ? c - u'a' + 10
                          : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                   : -1;
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

/// The JSON with every escaped surrogate that has no partner ("表情截断 \ud83d", a title cut in the middle of an
/// emoji) written as U+FFFD, which a JSON reader would otherwise refuse with the whole answer.
std::u16string mendLoneSurrogates(std::u16string_view json) {
    std::u16string mended;
    mended.reserve(json.size());
    for (std::size_t i = 0; i < json.size();) {
        if (json[i] != u'\\') {
            mended += json[i++];
            continue;
        }
        const int value = escapeAt(json, i);
        const bool high = value >= 0xD800 && value <= 0xDBFF;
        const bool low = value >= 0xDC00 && value <= 0xDFFF;
        if (high) {
            const int next = escapeAt(json, i + 6);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                mended += json.substr(i, 12);
                i += 12;
                continue;
            }
        }
        if (high || low) {
            mended += u"\\ufffd";
            i += 6;
        } else {
            // Any other escape, as it stands.
            const std::size_t length = value >= 0 ? 6 : 2;
            mended += json.substr(i, length);
            i += length;
        }
    }
    return mended;
}

} // namespace

std::optional<MtopAnswer> ReadMtopAnswer(std::u16string_view text) {
    const std::optional<std::u16string_view> argument = JsonpArgument(text);
    if (!argument) {
        return std::nullopt;
    }
    nlohmann::json answer = nlohmann::json::parse(ToUtf8(mendLoneSurrogates(*argument)), nullptr, false);
    const nlohmann::json& ret = JsonMember(answer, "ret");
    if (answer.is_discarded() || !ret.is_array()) {
        return std::nullopt;
    }
    MtopStatus status;
    const std::string first = !ret.empty() && ret.front().is_string() ? ret.front().get<std::string>() : "";
    for (const StatusPrefix& known : kStatuses) {
        if (first.starts_with(known.prefix)) {
            status.kind = known.kind;
        }
    }
    if (status.kind != PageKind::Normal) {
        status.verifyAddress = JsonText(JsonMember(JsonMember(answer, "data"), "url"));
    }
    return MtopAnswer{std::move(status), std::move(answer)};
}

nlohmann::json MtopRequestData(const DataAnswer& answer) {
    const std::optional<std::u16string> data = QueryValue(answer.address, u"data");
    return data ? nlohmann::json::parse(ToUtf8(*data), nullptr, false) : nlohmann::json();
}

std::u16string JsonText(const nlohmann::json& value) {
    switch (value.type()) {
    case nlohmann::json::value_t::string:
        return FromUtf8(value.get_ref<const std::string&>());
    case nlohmann::json::value_t::number_integer:
        return FromUtf8(std::to_string(value.get<std::int64_t>()));
    case nlohmann::json::value_t::number_unsigned:
        return FromUtf8(std::to_string(value.get<std::uint64_t>()));
    case nlohmann::json::value_t::number_float:
        return NumberText(value.get<double>());
    case nlohmann::json::value_t::boolean:
        return value.get<bool>() ? u"true" : u"false";
    default:
        return {};
    }
}

const nlohmann::json& JsonMember(const nlohmann::json& object, const char* name) {
    static const nlohmann::json null;
    if (!object.is_object()) {
        return null;
    }
    const auto found = object.find(name);
    return found == object.end() ? null : *found;
}

} // namespace tarvisk
