#!/usr/bin/env bash
# Builds and starts the desktop program. Arguments pass through to kelvora (a collection to
# open, --help); without any it opens the example collection the build imports.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh" >&2
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --target kelvora example_collection >/dev/null
if [ $# -eq 0 ]; then
  set -- "$here/build/examples/capitals.kdb"
fi
exec "$here/build/src/shell/qt/kelvora" "$@"
