#!/usr/bin/env bash
# Builds the core benchmark (release) and prints its figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset default >/dev/null
cmake --build --preset default --target core_bench >/dev/null
bin=build/default/bench/core/core_bench
for size in 10000 1000000 10000000; do "$bin" pass "$size"; done
"$bin" bytes 500
