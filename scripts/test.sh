#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   scripts/test.sh             plain build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --clang     the same plain build with clang 14 in build-clang/
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
case "${1:-}" in
  "") ;;
  --sanitize)
    dir=build-asan
    flags=(-DKELVORA_SANITIZE=ON)
    ;;
  --clang)
    scripts/install-deps.sh clang
    dir=build-clang
    flags=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    ;;
  *)
    echo "usage: scripts/test.sh [--sanitize | --clang]" >&2
    exit 2
    ;;
esac
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_WARNINGS_AS_ERRORS=ON \
  "${flags[@]}" >/dev/null
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
