#!/usr/bin/env bash
# Builds and runs the program. For now that is kelvora-cli; its arguments pass through
# (scripts/run.sh --help lists them).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh" >&2
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --target kelvora-cli >/dev/null
exec "$here/build/tools/kelvora-cli/kelvora-cli" "$@"
