#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks that every file lands where the
# README's "Installing" section says, that the README names each of them, that the desktop
# entry validates and that an installed tool runs.
# Usage: install_test.sh CMAKE BUILD_DIR README
set -euo pipefail
cmake=$1 build=$2 readme=$3

if ! command -v desktop-file-validate >/dev/null; then
  echo "install_test: desktop-file-validate is missing: install desktop-file-utils" \
       "(bash scripts/deps.sh --test does)" >&2
  exit 1
fi

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

files=(
  bin/keybird bin/keybird-render bin/keybird-groups bin/keybird-decode
  share/keybird/help/Keybirdenglish.hlp share/keybird/help/Keybirdfrench.hlp
  share/keybird/help/Keybirddeutsch.hlp share/keybird/help/KeybirdItalian.hlp
  share/keybird/help/KeybirdPortugues.hlp share/keybird/help/KeybirdSpanish.hlp
  share/applications/keybird.desktop
  share/icons/hicolor/scalable/apps/keybird.svg
  share/doc/keybird/README.md
)
# The README's "Installing" section, up to the next heading.
section=$(awk '/^## Installing/ {on = 1; next} /^## / {on = 0} on' "$readme")
[[ -n $section ]] || { echo "install_test: $readme has no \"## Installing\" section" >&2; exit 1; }

status=0
for f in "${files[@]}"; do
  if [[ $f == bin/* ]]; then
    [[ -x $prefix/$f ]] || { echo "install_test: $f is not installed as a program" >&2; status=1; }
  else
    [[ -s $prefix/$f ]] || { echo "install_test: $f is not installed" >&2; status=1; }
  fi
  # The README names the folder and the file (the help documents by their folder).
  dir=$(dirname "$f") base=$(basename "$f")
  grep -qF "$dir/" <<<"$section" || { echo "install_test: the README does not name $dir/" >&2; status=1; }
  [[ $dir == share/keybird/help ]] || grep -qF "$base" <<<"$section" ||
    { echo "install_test: the README does not name $base" >&2; status=1; }
done
# Nothing else: a stray file (a test program, a library) would be a packaging mistake.
extra=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${files[@]}" | sort))
[[ -z $extra ]] || { echo "install_test: installed but not listed: $extra" >&2; status=1; }

desktop-file-validate "$prefix/share/applications/keybird.desktop" || status=1
"$prefix/bin/keybird-groups" --count 5 --seed 1 >/dev/null ||
  { echo "install_test: the installed keybird-groups does not run" >&2; status=1; }

[[ $status -eq 0 ]] && echo "install_test: ${#files[@]} files installed where the README says"
exit $status
