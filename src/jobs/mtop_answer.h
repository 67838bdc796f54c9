#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "jobs/page_check.h"

// The marketplace's data gateway (the "mtop" endpoints today's pages fetch their listings from) answers in one
// envelope: {"api": ..., "data": {...}, "ret": ["SUCCESS::调用成功"], "v": ...}, as JSONP or plain JSON. Its
// readers share how the envelope is read; each reads its own data.

namespace tarvisk {

/// The status of a gateway answer, from the first entry of its "ret" list.
struct MtopStatus {
    /// Normal for SUCCESS; Verification for RGV587_ERROR (a slider or a ban) and FAIL_SYS_USER_VALIDATE;
    /// Login for FAIL_SYS_SESSION_EXPIRED; Unrecognised for any other failure (FAIL_SYS_TOKEN_EMPTY ...).
    PageKind kind = PageKind::Unrecognised;
    /// data.url of a refusal: where the visitor is sent to verify.
    std::u16string verifyAddress;
};

/// A gateway answer as read: its status, and its JSON for the reader of its data.
struct MtopAnswer {
    MtopStatus status;
    nlohmann::json json;
};

/// The answer in a JSONP or JSON text; none when the text is neither, or when it has no "ret" list.
std::optional<MtopAnswer> ReadMtopAnswer(std::u16string_view text);

/// The data field of the request an answer came for (the gateway's requests carry it in the address's query), as
/// JSON; null when the address has none, discarded when it is no JSON.
nlohmann::json MtopRequestData(const DataAnswer& answer);

/// A JSON value as text: a string as it is, a number in decimal, true or false; empty for anything else.
std::u16string JsonText(const nlohmann::json& value);

/// The member `name` of an object, or null for a value that is no object or has no such member.
const nlohmann::json& JsonMember(const nlohmann::json& object, const char* name);

} // namespace tarvisk
