#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan+UBSan and runs each for a bounded time,
# starting from its seed corpus in fuzz/corpus/ (new inputs go to a scratch folder).
#   scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh clang-14 libclang-rt-14-dev
CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORA_WARNINGS_AS_ERRORS=ON -DKELVORA_FUZZ=ON -DKELVORA_SANITIZE=ON -DKELVORA_BUILD_TESTS=OFF \
  -DKELVORA_BUILD_GUI=OFF >/dev/null
cmake --build build-fuzz
for name in collection settings text_stream recent_file xml_import qa_import recovery undo_file \
    anki_template text_table kvtml links_file anki_package; do
  # Inputs stay small where each one opens whole collections: one index and a small texts
  # file, one page of Q&A, a handful of changes.
  case "$name" in
    collection) max_len=4096 ;;
    qa_import) max_len=2048 ;;
    recovery) max_len=256 ;;
    anki_package) max_len=65536 ;;
    *) max_len=8192 ;;
  esac
  work=$(mktemp -d)
  cp fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
  echo "fuzzing $name for ${seconds}s"
  status=0
  build-fuzz/fuzz/"${name}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -print_final_stats=1 "$work" >"$work.log" 2>&1 || status=$?
  grep -E 'stat::(number_of_executed_units|average_exec_per_sec)' "$work.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work.log" >&2
    echo "fuzzing $name failed" >&2
    rm -rf "$work" "$work.log"
    exit 1
  fi
  rm -rf "$work" "$work.log"
done
