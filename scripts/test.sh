#!/usr/bin/env bash
# Builds Keybird and runs every test: the normal build, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the keying tests under ThreadSanitizer, and a bounded
# fuzzing run of the settings-file reader. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --test

jobs=$(nproc)
export CTEST_PARALLEL_LEVEL=$jobs
export QT_QPA_PLATFORM=offscreen

step() { printf '\n== %s ==\n' "$*"; }

step "Debug build and tests"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default

step "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
# The real sound-server test runs in the plain build: the sound libraries' own
# allocations are not ours to account for.
ctest --preset asan -LE real-audio

step "ThreadSanitizer: keying"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -L keying

if [ -x fuzz/run_settings_fuzz.sh ] || [ -f fuzz/run_settings_fuzz.sh ]; then
  step "Fuzzing the settings reader"
  bash fuzz/run_settings_fuzz.sh
fi
