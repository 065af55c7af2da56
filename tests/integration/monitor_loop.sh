#!/usr/bin/env bash
# The monitor on real components: keybird-render writes a text as Morse, paplay plays it
# into the PulseAudio null sink "loop" while Keybird's monitor listens to "loop.monitor"
# (the default input), and the decoded text must equal the played one. Exit 77: no
# PulseAudio here, or the decoder is not in yet.
set -u
prog=$1
render=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/audio-loop.sh"
audio_loop_available || { echo "PulseAudio is not installed: skipped"; exit 77; }
command -v paplay >/dev/null || { echo "paplay is not installed: skipped"; exit 77; }
audio_loop_start || exit 1
work=$(mktemp -d /tmp/keybird-monitor.XXXXXX)
cleanup() {
    audio_loop_stop
    rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work KEYBIRD_HOME=$work

fail() { echo "FAIL: $*"; exit 1; }

# At the renderer's default -9 dB the tone reaches about 45 of the input's 128, under the
# monitor's default threshold of 64: the text is rendered at full level (about 120).
# Keybird's default word gap is 6 element gaps (1 + 2 after the character, 3 for the
# blank), and the monitor writes a word's blank only after more than 6 times its gap
# reference: with the default spacing a word's blank comes or not by a few frames of
# detection delay ("cqde f6abcparis " at 20 wpm). The words are spaced wider here, so
# that this test is about the path, not that edge.
for wpm in 12 20 40; do
    echo "== $wpm wpm"
    "$render" --wpm "$wpm" --level 0 --word-spacing 2 -o "$work/text.wav" "CQ DE F6ABC PARIS" || fail "keybird-render failed"
    rm -f "$work/sync".*
    "$prog" "$work/sync" >"$work/out.txt" &
    prog_pid=$!
    for i in $(seq 200); do
        [ -e "$work/sync.ready" ] && break
        kill -0 $prog_pid 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -e "$work/sync.ready" ]; then
        wait $prog_pid
        rc=$?
        cat "$work/out.txt"
        [ $rc -eq 77 ] && exit 77
        fail "the monitor did not start listening"
    fi
    sleep 0.5
    paplay -d loop "$work/text.wav" || fail "paplay failed"
    touch "$work/sync.done"
    wait $prog_pid
    rc=$?
    cat "$work/out.txt"
    [ $rc -eq 77 ] && exit 77
    [ $rc -eq 0 ] || fail "the monitor reported an error"
    decoded=$(sed -n 's/^decoded: //p' "$work/out.txt")
    [ "$decoded" = "cq de f6abc paris " ] || fail "$wpm wpm: decoded \"$decoded\""
done
echo "PASS"
