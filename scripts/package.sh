#!/usr/bin/env bash
# Builds the Debian package from the release build and checks it with lintian (when installed):
# build/release/tarvisk_<version>_<architecture>.deb, whose path is the last line printed.
#
# Install it with `sudo apt-get install ./build/release/tarvisk_*.deb` (apt fetches its dependencies).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default
rm -f build/release/tarvisk_*.deb
(cd build/release && cpack -G DEB >/dev/null)
deb=$(ls build/release/tarvisk_*.deb)
if command -v lintian >/dev/null; then
    # Errors and warnings fail the package; lintian's notes on root privileges go to stderr unasked.
    lintian --fail-on error,warning "$deb" 2> >(grep -v '^running with root privileges' >&2)
fi
echo "$deb"
