#!/usr/bin/env bash
# A private PulseAudio server whose default sink is a null sink named "loop": what is
# played to it can be recorded from "loop.monitor". For tests and benchmarks on machines
# without a sound card. Run as any user; needs pulseaudio and pulseaudio-utils.
#
#   scripts/audio-loop.sh run COMMAND [ARGS...]
#       starts a server, runs COMMAND with PULSE_SERVER pointing at it, stops the server,
#       and exits with COMMAND's status (77 when pulseaudio is not installed).
#
#   source scripts/audio-loop.sh
#   audio_loop_available || exit 77
#   audio_loop_start            # exports PULSE_SERVER, sets AUDIO_LOOP_DIR
#   trap audio_loop_stop EXIT
#   audio_loop_restart          # kills the server (as in a crash) and starts a new one
#                               # on the same socket, as a desktop's server comes back
#
# Each server gets its own runtime directory under /tmp, and only the daemon this script
# started is ever stopped.

audio_loop_available() {
    command -v pulseaudio >/dev/null 2>&1 && command -v pactl >/dev/null 2>&1 &&
        command -v parecord >/dev/null 2>&1
}

# Starts the daemon and waits until it answers (at most 10 s). Returns 1 on failure,
# having cleaned up.
audio_loop_start() {
    AUDIO_LOOP_DIR=$(mktemp -d /tmp/keybird-audio.XXXXXX) || return 1
    chmod 700 "$AUDIO_LOOP_DIR"
    _audio_loop_daemon
}

# Kills our daemon without warning, waits until it is gone, and starts a new one in the
# same directory (same socket, same sinks). Returns 1 when the new one does not start.
audio_loop_restart() {
    local dir=${AUDIO_LOOP_DIR:-} pid i
    [ -n "$dir" ] && [ -d "$dir" ] || return 1
    pid=$(cat "$dir/daemon.pid" 2>/dev/null)
    if [ -n "$pid" ] && tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -qF "$dir/loop.pa"; then
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        for i in $(seq 50); do
            _audio_loop_alive || break
            sleep 0.1
        done
    fi
    rm -f "$dir/native"
    _audio_loop_daemon
}

# Starts a daemon in AUDIO_LOOP_DIR and waits until it answers.
_audio_loop_daemon() {
    local dir=$AUDIO_LOOP_DIR
    # The keep-alive loopback into a second, unused null sink keeps the loop sink's
    # render blocks short; without it an idle null sink stalls new streams for up to 2 s.
    cat >"$dir/loop.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
load-module module-null-sink sink_name=loop sink_properties=device.description=Loop
set-default-sink loop
set-default-source loop.monitor
load-module module-null-sink sink_name=keepalive
load-module module-loopback source=loop.monitor sink=keepalive latency_msec=20 source_dont_move=true sink_dont_move=true
EOF
    # setsid execs in place, so $! is the daemon itself.
    XDG_RUNTIME_DIR=$dir HOME=$dir setsid pulseaudio -n -F "$dir/loop.pa" --daemonize=no \
        --exit-idle-time=-1 --use-pid-file=no --log-target="file:$dir/pulse.log" \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/daemon.pid"
    export PULSE_SERVER="unix:$dir/native"
    export PULSE_RUNTIME_PATH="$dir/pulse"
    export JACK_NO_START_SERVER=1
    local tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! _audio_loop_alive; then
            echo "audio-loop: the PulseAudio server did not start; its log:" >&2
            cat "$dir/pulse.log" >&2 2>/dev/null
            audio_loop_stop
            return 1
        fi
        sleep 0.1
    done
    # Restart the sink's clock so the very first stream does not wait for an old block.
    pactl suspend-sink loop 1 && pactl suspend-sink loop 0
}

# Whether our daemon still runs (a zombie counts as gone).
_audio_loop_alive() {
    local pid
    pid=$(cat "$AUDIO_LOOP_DIR/daemon.pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && [ -r "/proc/$pid/status" ] || return 1
    ! grep -q '^State:[[:space:]]*Z' "/proc/$pid/status"
}

# Stops the daemon we started (only if it is still the process running our loop.pa) and
# removes the runtime directory. Safe to call twice.
audio_loop_stop() {
    local dir=${AUDIO_LOOP_DIR:-}
    [ -n "$dir" ] && [ -d "$dir" ] || return 0
    local pid
    pid=$(cat "$dir/daemon.pid" 2>/dev/null)
    if [ -n "$pid" ] && tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -qF "$dir/loop.pa"; then
        kill -TERM "$pid" 2>/dev/null
        local i
        for i in $(seq 50); do
            _audio_loop_alive || break
            sleep 0.1
        done
        _audio_loop_alive && kill -KILL "$pid" 2>/dev/null
    fi
    # Reap it when it is our child (a no-op otherwise).
    [ -n "$pid" ] && wait "$pid" 2>/dev/null
    rm -rf "$dir"
    unset AUDIO_LOOP_DIR PULSE_SERVER PULSE_RUNTIME_PATH
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if [ "${1:-}" != "run" ] || [ $# -lt 2 ]; then
        echo "usage: $0 run COMMAND [ARGS...]" >&2
        exit 2
    fi
    shift
    audio_loop_available || { echo "audio-loop: pulseaudio is not installed" >&2; exit 77; }
    audio_loop_start || exit 1
    trap audio_loop_stop EXIT
    trap 'exit 130' INT TERM
    "$@"
    exit $?
fi
