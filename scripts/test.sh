#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vantrell and runs every test.
#   scripts/test.sh            the default build
#   scripts/test.sh asan       the AddressSanitizer + UBSan build
set -euo pipefail
cd "$(dirname "$0")/.."

preset=${1:-default}
bash scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
