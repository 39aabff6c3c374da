#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vantrell and starts the dialog.
# Arguments go to the program (which ignores them, as it always has).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target vantrell
exec build/default/src/ui/vantrell "$@"
