#!/usr/bin/env bash
# The sound output between texts, on a private PulseAudio null sink whose monitor is
# recorded:
#   1. after 5 s of idle (no stream held), a text is heard whole, each tone and silence,
#      the first element included, within 1 ms of the timing model;
#   2. the server is killed while the output is idle: the next write fails at once
#      (no hang); once the server is back, close() and open() give a working output and
#      a text is heard; the server is then killed and started again while idle, and the
#      next text is heard without reopening.
#
#   idle_recover.sh PLAY_TEXT_PROGRAM
# Exits 77 (skipped) when PulseAudio is not installed.
set -u
driver=$1
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/audio-loop.sh
source "$here/../../scripts/audio-loop.sh"

audio_loop_available || { echo "SKIP: pulseaudio/pulseaudio-utils not installed"; exit 77; }
[ -x "$driver" ] || { echo "no driver $driver"; exit 1; }

rec_pid=""
drv_pid=""
stop_pid() {  # stops a process of ours, if it still runs
    if [ -n "$1" ] && kill -0 "$1" 2>/dev/null; then
        kill -TERM "$1" 2>/dev/null
        wait "$1" 2>/dev/null
    fi
}
cleanup() {
    stop_pid "$drv_pid"
    stop_pid "$rec_pid"
    audio_loop_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM

audio_loop_start || { echo "FAIL: could not start the PulseAudio server"; exit 1; }
dir=$AUDIO_LOOP_DIR
text="PARIS"
wpm=25
rate=22050
# The settings that ran clean on a busy machine, as in audio_loop.sh.
stream=(--fpb 512 --latency 0.2)

record() {  # record FILE: the loop sink's monitor, until stop_recording
    parecord -d loop.monitor --raw --format=s16le --rate=$rate --channels=1 \
        --latency-msec=20 "$1" &
    rec_pid=$!
    sleep 0.3
}
stop_recording() {
    sleep 0.2
    stop_pid "$rec_pid"
    rec_pid=""
}
# Waits for the driver's step N, or fails when the driver ended first.
wait_step() {
    local i
    for i in $(seq 400); do
        [ -e "$dir/sync.ready.$1" ] && return 0
        kill -0 "$drv_pid" 2>/dev/null || { echo "FAIL: the driver ended before step $1"; exit 1; }
        sleep 0.1
    done
    echo "FAIL: the driver did not reach step $1"
    exit 1
}

# A run whose recording does not match is repeated (at most three runs) when PortAudio
# flagged an output underflow: the host fell behind, and the hole is not the back end's
# doing. A run that matches passes, flagged or not.
attempts=3
matches() {  # matches FILE...: every recording against the timing model
    local f
    for f in "$@"; do
        "$driver" analyze --capture "$f" --rate $rate --text "$text" --wpm $wpm || return 1
    done
}
judge() {  # judge PLAYED ATTEMPT WHAT FILE...: 0 pass, 1 repeat; exits on a failure
    local played=$1 attempt=$2 what=$3
    shift 3
    if [ "$played" -ne 0 ] && [ "$played" -ne 3 ]; then
        echo "FAIL: $what: the driver failed ($played)"
        exit 1
    fi
    matches "$@" && return 0
    if [ "$played" -eq 3 ] && [ "$attempt" -lt $attempts ]; then
        echo "output underflow flagged and the recording has a hole: run $attempt repeated"
        return 1
    fi
    echo "FAIL: $what: the recording does not match the timing model"
    exit 1
}

echo "== 1. a text after 5 s of idle"
for attempt in $(seq $attempts); do
    record "$dir/idle.raw"
    "$driver" idle --text "$text" --wpm $wpm --idle 5 "${stream[@]}"
    played=$?
    stop_recording
    judge $played "$attempt" "after idle" "$dir/idle.raw" && break
done

echo "== 2. the sound server goes away and comes back while idle"
for attempt in $(seq $attempts); do
    rm -f "$dir"/sync.*
    "$driver" recover --text "$text" --wpm $wpm --sync "$dir/sync" --idle-stop 1 "${stream[@]}" &
    drv_pid=$!
    wait_step 1
    pid=$(cat "$dir/daemon.pid")
    { kill -KILL "$pid" && wait "$pid"; } 2>/dev/null
    touch "$dir/sync.go.1"
    wait_step 2
    audio_loop_restart || { echo "FAIL: the server did not start again"; exit 1; }
    record "$dir/reopened.raw"
    touch "$dir/sync.go.2"
    wait_step 3
    stop_recording
    audio_loop_restart || { echo "FAIL: the server did not start again"; exit 1; }
    record "$dir/restarted.raw"
    touch "$dir/sync.go.3"
    wait "$drv_pid"
    played=$?
    drv_pid=""
    stop_recording
    judge $played "$attempt" "the server restarted" "$dir/reopened.raw" "$dir/restarted.raw" &&
        break
done
echo "PASS"
