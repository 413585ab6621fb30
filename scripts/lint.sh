#!/usr/bin/env bash
# Fails on any drift from the project's .clang-format (src tools tests bench fuzz), on any
# clang-tidy finding in src/ and tools/ (.clang-tidy, over the compile database of build/, the
# build scripts/test.sh makes), and on any error or warning about the desktop entry and the
# AppStream metainfo.
#   scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."
here="$(pwd)"
scripts/install-deps.sh clang-format clang-tidy appstream desktop-file-utils
status=0

echo "lint: clang-format"
mapfile -t sources < <(find src tools tests bench fuzz \( -name '*.cc' -o -name '*.h' \) | sort)
if ! clang-format --dry-run --Werror "${sources[@]}"; then
  echo "lint: the files above differ from .clang-format (clang-format -i FILE fixes them)" >&2
  status=1
fi

echo "lint: clang-tidy"
if [ ! -f build/compile_commands.json ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_WARNINGS_AS_ERRORS=ON \
    >/dev/null
fi
# The database is GCC's: clang does not know some of its warning flags (-Wno-restrict).
if ! run-clang-tidy -p build -j "$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option \
  "^$here/(src|tools)/.*\.cc\$" >build/clang-tidy.log 2>&1; then
  grep -v -e '^clang-tidy' -e 'warnings\( and [0-9]* errors\)\? generated' build/clang-tidy.log >&2
  echo "lint: clang-tidy findings above (full output in build/clang-tidy.log)" >&2
  status=1
fi

echo "lint: desktop entry and AppStream metainfo"
for entry in resources/*.desktop; do
  # Hints are advice; warnings and errors fail.
  report=$(desktop-file-validate --no-hints "$entry" 2>&1) || true
  if [ -n "$report" ]; then
    echo "$report" >&2
    status=1
  fi
done
for info in resources/*.metainfo.xml; do
  appstreamcli validate --no-net "$info" >/dev/null || {
    appstreamcli validate --no-net --explain "$info" >&2
    status=1
  }
done

if [ "$status" -ne 0 ]; then
  echo "lint: failed" >&2
  exit 1
fi
echo "lint: clean"
