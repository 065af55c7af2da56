#!/usr/bin/env bash
# The sound-card chooser on real components: a PulseAudio server with two null sinks, the
# default "loop" and "second", which ALSA offers as a PCM of its own through an .asoundrc
# in the test's HOME. Keybird lists it, plays into it when chosen by its number, and into
# the default sink again once the system's choice is back. Exit 77: no PulseAudio here.
set -u
prog=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/audio-loop.sh"
audio_loop_available || { echo "PulseAudio is not installed: skipped"; exit 77; }
command -v sox >/dev/null || { echo "sox is not installed: skipped"; exit 77; }
audio_loop_start || exit 1
work=$(mktemp -d /tmp/keybird-devices.XXXXXX)
recorders=()
cleanup() {
    for p in "${recorders[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    audio_loop_stop
    rm -rf "$work"
}
trap cleanup EXIT

pactl load-module module-null-sink sink_name=second sink_properties=device.description=Second >/dev/null
cat >"$work/.asoundrc" <<ASOUND
pcm.second { type pulse; device "second"; hint { show on description "Second sink" } }
ASOUND
export HOME=$work KEYBIRD_HOME=$work

fail() { echo "FAIL: $*"; exit 1; }

record() {  # record SINK FILE
    parecord -d "$1.monitor" --rate=22050 --channels=1 --format=s16le --raw "$2" &
    recorders+=($!)
}
stop_recording() {
    for p in "${recorders[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    recorders=()
}
rms() {  # the RMS amplitude of a raw recording, 0 for an empty one
    [ -s "$1" ] || { echo 0; return; }
    sox -t raw -r 22050 -e signed -b 16 -c 1 "$1" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}'
}
louder() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

echo "== the device list"
"$prog" list | tee "$work/devices.txt"
grep -qx "second" "$work/devices.txt" || fail "the chooser does not list the second PCM"
grep -qx "default" "$work/devices.txt" || fail "the chooser does not list the default PCM"

echo "== chosen by its number: the second sink"
record loop "$work/a-loop.raw"
record second "$work/a-second.raw"
sleep 0.3
"$prog" choose second "eeee" || fail "playing into the chosen device"
stop_recording
a_loop=$(rms "$work/a-loop.raw"); a_second=$(rms "$work/a-second.raw")
echo "RMS: loop $a_loop, second $a_second"
louder "$a_second" 0.02 || fail "the second sink heard nothing"
louder 0.002 "$a_loop" || fail "the default sink heard the tone too"
grep -q '^OSOUND=' "$work/keybird.dat" || fail "no OSOUND= stored"

echo "== the system's choice again: the default sink"
record loop "$work/b-loop.raw"
record second "$work/b-second.raw"
sleep 0.3
"$prog" system "tttt" || fail "playing into the system's device"
stop_recording
b_loop=$(rms "$work/b-loop.raw"); b_second=$(rms "$work/b-second.raw")
echo "RMS: loop $b_loop, second $b_second"
louder "$b_loop" 0.02 || fail "the default sink heard nothing"
louder 0.002 "$b_second" || fail "the second sink still heard the tone"
grep -q '^OSOUND=-1' "$work/keybird.dat" || fail "OSOUND= is not back to -1"
echo "PASS"
