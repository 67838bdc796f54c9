#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tarvisk on the demo marketplace.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
exec build/release/src/cli/tarvisk-cli --demo check "$@"
