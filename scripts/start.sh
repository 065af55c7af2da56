#!/usr/bin/env bash
# Builds Keybird (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release -DKEYBIRD_TESTS=OFF -DKEYBIRD_BENCH=OFF >/dev/null
cmake --build --preset release --target keybird
exec ./build/release/bin/keybird "$@"
