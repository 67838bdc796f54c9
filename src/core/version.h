#pragma once

#include <string>
#include <string_view>

namespace tarvisk {

/// What every program prints for --version: "<program> <version> (commit <short hash>)", the commit the build
/// came from, "unknown" when it was not built from a git checkout.
std::string VersionLine(std::string_view program);

} // namespace tarvisk
