#!/usr/bin/env bash
# Builds a libFuzzer target (preset "fuzz", clang) and fuzzes it for a bounded time on a
# copy of its seed corpus, so the checked-in corpus never grows. TARGET is settings or
# text_file: the target TARGET_fuzz, the corpus fuzz/corpus/TARGET, the dictionary
# fuzz/TARGET.dict.
#   fuzz/run_fuzz.sh TARGET [seconds]        (default 60)
#   KEYBIRD_FUZZ_BUILD=dir   build there instead of build/fuzz
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
name="${1:?usage: fuzz/run_fuzz.sh settings|text_file [seconds]}"
seconds="${2:-60}"
target="${name}_fuzz"
build="${KEYBIRD_FUZZ_BUILD:-$src/build/fuzz}"
jobs="${KEYBIRD_FUZZ_JOBS:-$(nproc)}"

cd "$src"
[ -d "fuzz/corpus/$name" ] || { echo "run_fuzz.sh: no corpus fuzz/corpus/$name" >&2; exit 2; }
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$jobs" --target "$target"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$src/fuzz/corpus/$name" "$work/corpus"
mkdir -p "$work/artifacts"

set +e
"$build/bin/$target" "$work/corpus" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -dict="$src/fuzz/$name.dict" -artifact_prefix="$work/artifacts/" -print_final_stats=1
status=$?
set -e
if [ "$status" -ne 0 ]; then
  mkdir -p "$build/fuzz-artifacts"
  cp -r "$work/artifacts/." "$build/fuzz-artifacts/" 2>/dev/null || true
  echo "$target failed (exit $status); crashing inputs are in $build/fuzz-artifacts" >&2
  exit "$status"
fi
