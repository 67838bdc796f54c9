#include "core/version.h"

#include "build_info.h"

namespace tarvisk {

std::string VersionLine(std::string_view program) {
    return std::string(program) + " " TARVISK_VERSION " (commit " TARVISK_COMMIT ")";
}

} // namespace tarvisk
