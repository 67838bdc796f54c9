#include "jobs/fetch_mode.h"

namespace tarvisk {

std::optional<FetchMode> ParseFetchMode(std::string_view name) {
    if (name == "direct") {
        return FetchMode::Direct;
    }
    if (name == "browser") {
        return FetchMode::Browser;
    }
    if (name == "auto") {
        return FetchMode::Auto;
    }
    return std::nullopt;
}

} // namespace tarvisk
