#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite: the release build (unit,
# integration, command line and window tests), then the core suites again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz programs briefly. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen

cmake --preset default
cmake --build --preset default
cmake --build --preset default --target format-check
ctest --preset default -j2

cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2

# The fuzz programs (clang, ASan, UBSan): every seed and kept crash input, then a few seconds each.
bash scripts/fuzz.sh --regression
