#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   scripts/test.sh             plain build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# The core builds without Qt: only the desktop front end may include it.
if grep -rn --include='*.h' --include='*.cc' '#include <Q' src | grep -v '^src/shell/qt/'; then
  echo "Qt headers included outside src/shell/qt" >&2
  exit 1
fi

dir=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags=(-DKELVORA_SANITIZE=ON)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_WARNINGS_AS_ERRORS=ON \
  "${flags[@]}" >/dev/null
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
