#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang) and fuzzes the text-file reader and
# its RTF extractor for a bounded time on a copy of the seed corpus, so the checked-in
# corpus never grows.
#   fuzz/run_text_file_fuzz.sh [seconds]        (default 60)
#   KEYBIRD_FUZZ_BUILD=dir   build there instead of build/fuzz
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="${KEYBIRD_FUZZ_BUILD:-$src/build/fuzz}"
jobs="${KEYBIRD_FUZZ_JOBS:-$(nproc)}"

cd "$src"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$jobs" --target text_file_fuzz

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$src/fuzz/corpus/text_file" "$work/corpus"
mkdir -p "$work/artifacts"

set +e
"$build/bin/text_file_fuzz" "$work/corpus" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -dict="$src/fuzz/text_file.dict" -artifact_prefix="$work/artifacts/" -print_final_stats=1
status=$?
set -e
if [ "$status" -ne 0 ]; then
  mkdir -p "$build/fuzz-artifacts"
  cp -r "$work/artifacts/." "$build/fuzz-artifacts/" 2>/dev/null || true
  echo "text_file_fuzz failed (exit $status); crashing inputs are in $build/fuzz-artifacts" >&2
  exit "$status"
fi
