#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them; arguments pass through to Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORA_BUILD_BENCH=ON \
  -DKELVORA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target store_bench
exec build-bench/bench/store_bench "$@"
