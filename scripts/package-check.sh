#!/usr/bin/env bash
# Builds Kelvora in Release with warnings as errors (build-rel/), installs it into a scratch
# DESTDIR and checks that it runs from there, then builds the Debian package, installs it with
# dpkg, checks both programs from /usr and removes the package again. The package steps need
# root (CI runs as root); without it they are skipped with a note.
#   scripts/package-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
here="$(pwd)"
scripts/install-deps.sh dpkg-dev file binutils appstream

cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORA_WARNINGS_AS_ERRORS=ON \
  >/dev/null
cmake --build build-rel

work=$(mktemp -d)
installed_here=0
cleanup() {
  if [ "$installed_here" -eq 1 ]; then dpkg -r kelvora >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "package check: $*" >&2
  exit 1
}

# Runs the desktop program of PREFIX headless: a start that shows its window on the collection
# given and closes again at once must end with 0. Its per-user files go to the scratch folder,
# and its own display name keeps it from handing over to a copy already running.
start_headless() {
  local program="$1" collection="$2"
  mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
  env XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" HOME="$work" \
    QT_QPA_PLATFORM=offscreen DISPLAY=":kelvora-package-check-$$" KELVORA_CLOSE_WHEN_SHOWN=1 \
    timeout 60 "$program" "$collection"
}

# Both programs of an installed tree under PREFIX: kelvora-cli imports the installed example
# collection, kelvora names the help page and the example beside its prefix and starts on that
# collection.
check_tree() {
  local prefix="$1"
  "$prefix/bin/kelvora-cli" --help >/dev/null || fail "$prefix/bin/kelvora-cli --help failed"
  rm -rf "$work/example" && mkdir -p "$work/example"
  # The example the first screen names is installed, and imports as a user would copy it.
  cp "$prefix/share/kelvora/examples/capitals.xml" "$work/example/" ||
    fail "the example collection is not installed under $prefix/share/kelvora/examples"
  XDG_CONFIG_HOME="$work/config" "$prefix/bin/kelvora-cli" --yes \
    import-xml "$work/example/capitals.xml" >/dev/null || fail "kelvora-cli import-xml failed"
  local help
  help=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" "$prefix/bin/kelvora" --help \
    2>/dev/null) || fail "$prefix/bin/kelvora --help failed"
  local page
  page=$(sed -n 's/^Help page: //p' <<<"$help")
  [ "$page" = "$prefix/share/kelvora/help.html" ] ||
    fail "kelvora finds its help page at '$page', not $prefix/share/kelvora/help.html"
  [ -f "$page" ] || fail "$page is missing"
  local example
  example=$(sed -n 's/^Example collection: //p' <<<"$help")
  [ "$example" = "$prefix/share/kelvora/examples/capitals.xml" ] ||
    fail "kelvora names the example '$example', not $prefix/share/kelvora/examples/capitals.xml"
  if ! start_headless "$prefix/bin/kelvora" "$work/example/capitals.kdb" 2>"$work/start.log"; then
    cat "$work/start.log" >&2
    fail "$prefix/bin/kelvora did not start and close cleanly"
  fi
  # Nothing of the source or build folder may be baked into an installed program.
  if strings "$prefix/bin/kelvora" "$prefix/bin/kelvora-cli" | grep -F "$here"; then
    fail "an installed program names the source folder $here"
  fi
  echo "package check: $prefix runs"
}

# A plain install into a scratch DESTDIR runs from wherever it lies, and its metainfo, desktop
# entry and icon are found together where a software centre looks for them.
DESTDIR="$work/destdir" cmake --install build-rel --prefix /usr >/dev/null
check_tree "$work/destdir/usr"
appstreamcli validate-tree --no-net "$work/destdir" >/dev/null ||
  fail "appstreamcli validate-tree --no-net finds problems in the installed tree"

if [ "$(id -u)" -ne 0 ]; then
  echo "package check: not root, so the .deb is not installed and checked"
  exit 0
fi
if dpkg-query -W -f='${Status}' kelvora 2>/dev/null | grep -q "install ok installed"; then
  fail "a kelvora package is installed already; remove it (dpkg -r kelvora) and try again"
fi
rm -f build-rel/kelvora_*.deb
if ! (cd build-rel && cpack -G DEB >/dev/null 2>"$work/cpack.log"); then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
deb=$(echo build-rel/kelvora_*.deb)
[ -f "$deb" ] || fail "cpack made no .deb"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "$deb does not depend on Qt Widgets"
installed_here=1
if ! dpkg -i "$deb" >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -f -y -qq >/dev/null
fi
dpkg-query -W -f='${Status}' kelvora | grep -q "install ok installed" || fail "$deb did not install"
[ "$(command -v kelvora-cli)" = /usr/bin/kelvora-cli ] || fail "kelvora-cli is not in /usr/bin"
check_tree /usr
dpkg -r kelvora >/dev/null
installed_here=0
[ ! -e /usr/bin/kelvora ] || fail "dpkg -r kelvora left /usr/bin/kelvora behind"
echo "package check: $(basename "$deb") installs, runs and removes cleanly"
