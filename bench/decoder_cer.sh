#!/usr/bin/env bash
# How well the monitor's decoder reads Morse, beside an independent one: the character
# error rate of keybird-decode and of multimon-ng's MORSE_CW demodulator on the same files.
#
#   bash bench/decoder_cer.sh [BIN_DIR]     (default build/release/bin)
#
# A fixed set of texts is rendered by keybird-render at 12, 20, 30 and 40 wpm, clean and
# under noise (positions 14, 10 and 6 of the noise dialog's scale, 0 loudest), each with
# a fixed seed, so every run hears the same files. Each file is decoded by both decoders;
# the error rate is the Levenshtein distance between the decoded and the sent text over
# the sent text's length, both in upper case with blanks squeezed to single ones, summed
# over the texts. An unknown code ("<ERR_6>" from multimon-ng, a bracketed prosign from
# ours) counts as one character. Above 100 % means more came out than was sent.
#
# Render options: --level 0, because the monitor's decoder has no filter and takes as a
# tone any stretch whose 8-bit peak reaches its threshold (64 of 128 by default), and the
# default level of -9 dB peaks at about 45, under it; --word-spacing 2, because both
# decoders learn word gaps from the signal, and ours writes a blank only where a silence
# passes six gaps of the character before it, which word spacing 1 barely does;
# --samples mono16 at 22050 Hz, the raw input multimon-ng takes (its header stripped),
# while keybird-decode reads the WAV itself. Both decoders run with their defaults.
#
# It prints figures and never fails on them; it takes about half a minute. Not part of the
# test run.
set -euo pipefail

bin=${1:-build/release/bin}
for p in "$bin/keybird-render" "$bin/keybird-decode"; do
  if [ ! -x "$p" ]; then
    echo "decoder_cer: $p not found (build the release preset, or pass the bin folder)" >&2
    exit 2
  fi
done
have_multimon=1
command -v multimon-ng >/dev/null 2>&1 || have_multimon=0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

texts=(
  "cq cq cq de n0call n0call k"
  "r r tnx fer call ur rst 579 579 qth paris name jean hw? bk"
  "the quick brown fox jumps over the lazy dog 1234567890"
  "qrl? de f5xyz. wx sunny, temp 22c = 73/88 es gl sk"
)

# Upper case, unknown codes as one "*", blanks squeezed, trimmed.
normalise() {
  tr '[:lower:]' '[:upper:]' | tr '\n\t' '  ' |
    sed -E 's/<[^>]*>/*/g; s/\[[^]]*\]/*/g; s/ +/ /g; s/^ //; s/ $//'
}

# Levenshtein distance between two lines.
distance() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    n = length(a); m = length(b)
    for (j = 0; j <= m; j++) prev[j] = j
    for (i = 1; i <= n; i++) {
      cur[0] = i; ca = substr(a, i, 1)
      for (j = 1; j <= m; j++) {
        cost = (ca == substr(b, j, 1)) ? 0 : 1
        v = prev[j - 1] + cost
        if (prev[j] + 1 < v) v = prev[j] + 1
        if (cur[j - 1] + 1 < v) v = cur[j - 1] + 1
        cur[j] = v
      }
      for (j = 0; j <= m; j++) prev[j] = cur[j]
    }
    print prev[m]
  }'
}

percent() { awk -v d="$1" -v n="$2" 'BEGIN { printf "%.1f", 100 * d / n }'; }

printf '%-5s %-6s %9s %12s\n' wpm noise keybird multimon-ng
for wpm in 12 20 30 40; do
  for noise in none 14 10 6; do
    ours=0
    theirs=0
    sent=0
    for t in "${!texts[@]}"; do
      wav="$work/$wpm-$noise-$t.wav"
      opts=(-q --level 0 --word-spacing 2 --samples mono16 --wpm "$wpm")
      [ "$noise" = none ] || opts+=(--noise "$noise" --seed $((7300 + 10 * t + wpm)))
      "$bin/keybird-render" "${opts[@]}" -o "$wav" "${texts[$t]}"
      ref=$(printf '%s' "${texts[$t]}" | normalise)
      sent=$((sent + ${#ref}))

      got=$("$bin/keybird-decode" "$wav" | normalise)
      ours=$((ours + $(distance "$ref" "$got")))

      if [ "$have_multimon" = 1 ]; then
        # The samples after the 44-byte header, then a second of silence: multimon-ng
        # writes a character only once the gap after it has run out.
        { tail -c +45 "$wav" && head -c 44100 /dev/zero; } >"$work/in.raw"
        got=$(multimon-ng -q -c -a MORSE_CW -t raw "$work/in.raw" | normalise)
        theirs=$((theirs + $(distance "$ref" "$got")))
      fi
    done
    if [ "$have_multimon" = 1 ]; then
      printf '%-5s %-6s %8s%% %11s%%\n' "$wpm" "$noise" "$(percent $ours $sent)" \
        "$(percent $theirs $sent)"
    else
      printf '%-5s %-6s %8s%% %12s\n' "$wpm" "$noise" "$(percent $ours $sent)" "-"
    fi
  done
done
[ "$have_multimon" = 1 ] || echo "(multimon-ng is not installed: bash scripts/deps.sh --test)"
