#!/usr/bin/env bash
# Builds and runs the start-up benchmark: vantrell against a bare wx dialog
# program, start-up to the dialog shown and peak memory.
#
#   bench/startup/run.sh [RUNS] [BUILD_DIR]     (defaults: 15, build-gui)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-15}
build=${2:-$here/build-gui}
[[ -f $build/CMakeCache.txt ]] || cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target vantrell bare_dialog plain_dialog startup_bench >/dev/null
echo "build: $build ($(grep -E '^CMAKE_BUILD_TYPE' "$build/CMakeCache.txt" | cut -d= -f2))"
# bare_dialog: an empty wx dialog; plain_dialog: the same controls made
# with plain wx calls, so the difference to it is the dialog layer's cost.
"$build/bench/startup/startup_bench" "$runs" "$build/src/ui/vantrell" \
  "$build/bench/startup/bare_dialog" "$build/bench/startup/plain_dialog"
