#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them; arguments pass through to Google Benchmark.
# Afterwards the exported 30000-item XML document is parsed by xmllint --stream for comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if ! command -v xmllint >/dev/null; then
  [ "$(id -u)" -eq 0 ] && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libxml2-utils
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVORA_BUILD_BENCH=ON \
  -DKELVORA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target store_bench exchange_bench learning_bench window_bench kelvora-cli \
  make_peer_sources
build-bench/bench/store_bench "$@"
build-bench/bench/learning_bench
keep=$(mktemp -d)
trap 'rm -rf "$keep"' EXIT
KELVORA_BENCH_KEEP="$keep" build-bench/bench/exchange_bench "$@"
if command -v xmllint >/dev/null && [ -f "$keep/out.xml" ]; then
  echo "xmllint --stream --noout on the same 30000-item document, best of 5:"
  best=""
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    xmllint --stream --noout "$keep/out.xml"
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "xmllint: ${best} ms"
fi
# Whole processes as a user runs them: kelvora-cli's exports of the 30000-item collection beside
# cat of the very bytes they write, and beside cat followed by the sync that makes an export
# durable before it takes the target's name.
best_tenths() {
  local best="" start ms
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$@" >/dev/null
    ms=$(( ($(date +%s%N) - start) / 100000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"  # tenths of a millisecond
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2fx", a / b }'; }
tenths() { awk -v a="$1" 'BEGIN { printf "%.1f ms", a / 10 }'; }
if [ -f "$keep/out.xml" ]; then
  cli=build-bench/tools/kelvora-cli/kelvora-cli
  export XDG_CONFIG_HOME="$keep/config"
  cp "$keep/out.xml" "$keep/deck.xml"
  "$cli" --yes import-xml "$keep/deck.xml" >/dev/null
  "$cli" export-qa "$keep/deck" "$keep/deck.txt" >/dev/null  # the index is built once, here
  echo "Whole processes, best of 5: kelvora-cli beside cat of the same bytes (and cat + sync),"
  echo "and the import beside xmllint:"
  for kind in xml qa; do
    ext=$([ "$kind" = xml ] && echo xml || echo txt)
    a=$(best_tenths "$cli" "export-$kind" "$keep/deck" "$keep/exported.$ext")
    b=$(best_tenths sh -c "cat '$keep/exported.$ext' > '$keep/copy.$ext'")
    c=$(best_tenths sh -c "cat '$keep/exported.$ext' > '$keep/copy.$ext' && sync '$keep/copy.$ext'")
    echo "export-$kind: $(tenths "$a"), $(ratio "$a" "$b") cat, $(ratio "$a" "$c") cat + sync"
  done
  # The import of the same document beside xmllint reading it as a stream, and the rebuild of
  # the index beside cat of the texts file it walks.
  if command -v xmllint >/dev/null; then
    a=$(best_tenths "$cli" --yes import-xml "$keep/deck.xml")
    b=$(best_tenths xmllint --stream --noout "$keep/deck.xml")
    echo "import-xml: $(tenths "$a"), $(ratio "$a" "$b") xmllint --stream --noout"
  fi
  a=$(best_tenths "$cli" rebuild "$keep/deck")
  b=$(best_tenths sh -c "cat '$keep/deck.kdb' > '$keep/copy.kdb'")
  c=$(best_tenths sh -c "cat '$keep/deck.kdb' > '$keep/copy.kdb' && sync '$keep/copy.kdb'")
  echo "rebuild: $(tenths "$a"), $(ratio "$a" "$b") cat, $(ratio "$a" "$c") cat + sync"
  unset XDG_CONFIG_HOME
fi
# The desktop window's import, export and reset beside the same work done the command line's way.
echo "The window's long commands beside the command line's, best of 5 each:"
QT_QPA_PLATFORM=offscreen build-bench/bench/window_bench 2>/dev/null
# Start-up: from starting the program to its window shown (and closed again at once), on the
# offscreen platform with the example collection, best of 5.
# The example is built on request only, so it is asked for here even when the program is built.
if cmake --build build --target kelvora example_collection >/dev/null 2>&1 &&
  [ -f build/examples/capitals.kdb ]; then
  work=$(mktemp -d)
  cp build/examples/capitals.kdb build/examples/capitals.cfg "$work"/ 2>/dev/null || true
  best=""
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    XDG_CONFIG_HOME="$work/config" KELVORA_CLOSE_WHEN_SHOWN=1 QT_QPA_PLATFORM=offscreen \
      DISPLAY=":kelvora-bench-$$" build/src/shell/qt/kelvora "$work/capitals.kdb" 2>/dev/null
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "start-up to a shown window: ${best} ms"
  rm -rf "$work"
fi
# The importers of other learners' files: an Anki package of 30000 cards and 300000 reviews
# beside unzip and sqlite3 reading its collection as the import does, and a 30000-row CSV
# table beside the Q&A import of the same items.
cli=build-bench/tools/kelvora-cli/kelvora-cli
export XDG_CONFIG_HOME="$keep/config"
build-bench/bench/make_peer_sources "$keep"
anki_import() {
  rm -f "$keep/anki.kdb" "$keep/anki.kbi" "$keep/anki.cfg" "$keep/anki.links"
  "$cli" import-anki "$keep/deck.apkg" "$keep/anki"
}
anki_yardstick() {
  unzip -p "$keep/deck.apkg" collection.anki21 >"$keep/x.db"
  sqlite3 "$keep/x.db" "SELECT c.id, c.ord, c.type, c.queue, c.due, c.ivl, c.factor, c.lapses,
    n.guid, n.flds FROM cards c JOIN notes n ON n.id = c.nid;
    SELECT cid, count(*), max(id) FROM revlog GROUP BY cid;"
}
csv_import() {
  rm -f "$keep/csv.kdb" "$keep/csv.kbi" "$keep/csv.cfg" "$keep/csv.links"
  "$cli" import-csv "$keep/deck.csv" "$keep/csv"
}
a=$(best_tenths anki_import)
b=$(best_tenths anki_yardstick)
echo "import-anki: $(tenths "$a"), $(ratio "$a" "$b") unzip -p + sqlite3"
csv_import >/dev/null
"$cli" export-qa "$keep/csv" "$keep/same.txt" >/dev/null
a=$(best_tenths csv_import)
b=$(best_tenths "$cli" --yes import-qa "$keep/same.txt")
echo "import-csv: $(tenths "$a"), $(ratio "$a" "$b") import-qa"
# The way out: the imported 30000 cards as an Anki package beside the XML export of the same.
anki_import >/dev/null
"$cli" export-xml "$keep/anki" "$keep/anki.xml" >/dev/null  # the index is built once, here
a=$(best_tenths "$cli" export-anki "$keep/anki" "$keep/out.apkg")
b=$(best_tenths "$cli" export-xml "$keep/anki" "$keep/anki.xml")
echo "export-anki: $(tenths "$a"), $(ratio "$a" "$b") export-xml"
