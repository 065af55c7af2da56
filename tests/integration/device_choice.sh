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

# phase NAME LOUD QUIET ARGS...: runs the program with ARGS while both sinks are recorded;
# sink LOUD must have heard the tone and sink QUIET nothing.
phase() {
    local name=$1 loud=$2 quiet=$3
    shift 3
    echo "== $name"
    record "$loud" "$work/$name-$loud.raw"
    record "$quiet" "$work/$name-$quiet.raw"
    sleep 0.3
    "$prog" "$@" || fail "$name: the program failed"
    stop_recording
    local heard silent
    heard=$(rms "$work/$name-$loud.raw")
    silent=$(rms "$work/$name-$quiet.raw")
    echo "RMS: $loud $heard, $quiet $silent"
    louder "$heard" 0.02 || fail "$name: the $loud sink heard nothing"
    louder 0.002 "$silent" || fail "$name: the $quiet sink heard the tone too"
}

phase chosen second loop choose second "eeee"
grep -q '^OSOUND=' "$work/keybird.dat" || fail "no OSOUND= stored"
phase system loop second system "tttt"
grep -q '^OSOUND=-1' "$work/keybird.dat" || fail "OSOUND= is not back to -1"

# A device added while the program runs (a headset plugged in) is listed when the panel
# opens, and chosen there it is heard.
echo "== plugged"
mv "$work/.asoundrc" "$work/asoundrc.later"
rm -f "$work/sync".*
record second "$work/plugged-second.raw"
"$prog" plugged second "eeee" "$work/sync" &
prog_pid=$!
for i in $(seq 200); do
    [ -e "$work/sync.ready" ] && break
    kill -0 $prog_pid 2>/dev/null || break
    sleep 0.1
done
[ -e "$work/sync.ready" ] || fail "plugged: the program did not get ready"
mv "$work/asoundrc.later" "$work/.asoundrc"
touch "$work/sync.go"
wait $prog_pid || fail "plugged: the program failed"
stop_recording
heard=$(rms "$work/plugged-second.raw")
echo "RMS: second $heard"
louder "$heard" 0.02 || fail "plugged: the second sink heard nothing"
echo "PASS"
