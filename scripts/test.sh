#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite: the release build (unit,
# integration, command line and window tests), then the core suites again under
# AddressSanitizer and UndefinedBehaviorSanitizer. Fails on the first failing test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen

cmake --preset default
cmake --build --preset default
ctest --preset default -j2

cmake --preset asan
cmake --build --preset asan
ctest --preset asan -j2
