#!/usr/bin/env bash
# Installs a built tree into a temporary prefix: every file lands where the README's
# "Installing" says (and nothing else does), and the desktop entry validates.
# Usage: install_test.sh CMAKE BUILD_DIR README
set -euo pipefail
command -v desktop-file-validate >/dev/null || {
  echo "install_test: desktop-file-validate is missing: install desktop-file-utils" \
       "(bash scripts/deps.sh --test does)" >&2; exit 1; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$1" --install "$2" --prefix "$prefix" >/dev/null
section=$(awk '/^## Installing/ {on = 1; next} /^## / {on = 0} on' "$3")

files=(bin/keybird bin/keybird-render bin/keybird-groups bin/keybird-decode
       share/applications/keybird.desktop share/icons/hicolor/scalable/apps/keybird.svg
       share/doc/keybird/README.md)
for lang in english french deutsch Italian Portugues Spanish; do
  files+=("share/keybird/help/Keybird$lang.hlp")
done
status=0
fail() { echo "install_test: $*" >&2; status=1; }
for f in "${files[@]}"; do
  [[ -s $prefix/$f ]] || fail "$f is not installed"
  [[ $f != bin/* || -x $prefix/$f ]] || fail "$f is not executable"
  grep -qF "$(dirname "$f")/" <<<"$section" || fail "Installing does not name $(dirname "$f")/"
  [[ $f == */help/* ]] || grep -qF "$(basename "$f")" <<<"$section" ||
    fail "Installing does not name $(basename "$f")"
done
extra=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${files[@]}" | sort))
[[ -z $extra ]] || fail "installed but not in the list: $extra"
entry=$prefix/share/applications/keybird.desktop
desktop-file-validate "$entry" || fail "invalid desktop entry"
grep -qx 'Exec=keybird' "$entry" || fail "the desktop entry does not start bin/keybird"
grep -qx 'Icon=keybird' "$entry" || fail "the desktop entry does not name the keybird icon"
[[ $status -eq 0 ]] && echo "install_test: ${#files[@]} files installed where the README says"
exit $status
