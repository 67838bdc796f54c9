#include "jobs/fetch_mode.h"

#include <algorithm>

namespace tarvisk {

std::optional<FetchMode> ParseFetchMode(std::string_view word) {
    const auto named = std::ranges::find(kFetchModeNames, word, &FetchModeName::word);
    return named != std::end(kFetchModeNames) ? std::optional(named->mode) : std::nullopt;
}

std::string_view FetchModeWord(FetchMode mode) {
    return std::ranges::find(kFetchModeNames, mode, &FetchModeName::mode)->word;
}

} // namespace tarvisk
