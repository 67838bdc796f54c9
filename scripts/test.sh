#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite: the release build (unit, integration, command line
# and window tests), the Debian package (built, installed, run and removed again), then the core suites again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz programs briefly. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen

cmake --preset default
cmake --build --preset default
cmake --build --preset default --target format-check
ctest --preset default -j2

# The Debian package: built, checked with lintian, installed with apt, run from /usr/bin, removed.
bash scripts/package.sh
bash scripts/install_check.sh

cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2

# The fuzz programs (clang, ASan, UBSan): every seed and kept crash input, then a few seconds each.
bash scripts/fuzz.sh --regression
