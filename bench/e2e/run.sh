#!/usr/bin/env bash
# Builds vantrell-send and the virtual bus (release) and prints the timing of
# the real program on the modelled line: per byte over 500 bytes, then a
# 60-pass --repeat run (about 70 s). Needs root for the mount namespace.
#   bench/e2e/run.sh [PASSES]
# BUILD_DIR picks the build tree (default: the "default" preset's).
set -euo pipefail
cd "$(dirname "$0")/../.."
if [[ -n "${BUILD_DIR:-}" ]]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD_DIR" -j2 --target e2e_bus_bench >/dev/null
  bin=$BUILD_DIR/bench/e2e/e2e_bus_bench
else
  cmake --preset default >/dev/null
  cmake --build --preset default --target e2e_bus_bench >/dev/null
  bin=build/default/bench/e2e/e2e_bus_bench
fi
"$bin" bytes 500
"$bin" repeat "${1:-60}"
