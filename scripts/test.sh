#!/usr/bin/env bash
# Checks the formatting, then builds Keybird and runs every test: the normal build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, the keying and audio tests under
# ThreadSanitizer, and bounded fuzzing runs of the settings-file and text-file readers.
# Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test

jobs=$(nproc)
export CTEST_PARALLEL_LEVEL=$jobs
export QT_QPA_PLATFORM=offscreen

step() { printf '\n== %s ==\n' "$*"; }

# Runs ctest, keeping its output to count what passed.
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
run_ctest() {
  ctest "$@" | tee -a "$summary"
}

# First, as they take seconds: a formatting difference or a layering breach fails the run
# before any build.
step "Formatting and layering"
bash scripts/check-format.sh
bash scripts/check-layering.sh

step "Debug build and tests"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
run_ctest --preset default

step "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
# The real sound-server test runs in the plain build: the sound libraries' own
# allocations are not ours to account for.
run_ctest --preset asan -LE real-audio

step "ThreadSanitizer: keying and audio"
cmake --preset tsan >/dev/null
# The preset builds only these labels' tests (with the GUI library, for the sound output's
# hand-over between the callback and the GUI thread).
cmake --build --preset tsan -j "$jobs"
run_ctest --preset tsan -L 'keying|audio' -LE real-audio

# The build a packager or a contributor makes: every target, tests and benchmarks
# included, optimised, so an optimiser-only warning cannot slip in.
step "Release build"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"

step "Fuzzing the settings reader"
bash fuzz/run_fuzz.sh settings 60
step "Fuzzing the text-file reader"
bash fuzz/run_fuzz.sh text_file 60

passed=$(awk '/tests passed, [0-9]+ tests failed out of/ {n += $NF - $4} END {print n + 0}' "$summary")
printf '\nTests: %d passed, 0 failed\n' "$passed"
