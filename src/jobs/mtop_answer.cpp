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

} // namespace

std::optional<MtopAnswer> ReadMtopAnswer(std::u16string_view text) {
    const std::optional<std::u16string_view> argument = JsonpArgument(text);
    if (!argument) {
        return std::nullopt;
    }
    nlohmann::json answer = nlohmann::json::parse(ToUtf8(std::u16string(*argument)), nullptr, false);
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
