#!/usr/bin/env bash
# The demo `make run` starts: Vantrel drives a receiver through a pass, in a
# demo folder of its own (never ~/.config/vantrel). The receiver is
# pcr1000-sim on COM1, or with `rigctld` Hamlib's rigctld with its dummy
# radio on a free port of 127.0.0.1, chosen in the demo's settings. With a
# display it opens the window and ends when the window closes; without one
# it runs `vantrel --headless` for about a minute.
#
#   tools/demo/vantrel-demo.sh BUILD_FOLDER [pcr1000|rigctld]
set -euo pipefail

build=$(cd "${1:?usage: vantrel-demo.sh BUILD_FOLDER [pcr1000|rigctld]}" && pwd)
receiver=${2:-pcr1000}
demo="$build/demo"
config="$demo/config"
work="$demo/work"
com1="$config/vantrel/dosdevices/com1"

rm -rf "$demo"
mkdir -p "$work" "$(dirname "$com1")"

# The Meteor-M N2-3 and N2-4 downlinks (LRPT, some 120 kHz wide, hence the
# 230 kHz filter); the DEFAULT line silences the receiver between passes.
cat > "$work/Vantrel.ini" <<'INI'
# name,       MHz,      mode, filter kHz, volume %, squelch %, [DSPON|DSPOFF, DSP level %]
METEOR-M2 3,  137.9,    WFM,  230,        60,       40
METEOR-M2 4,  137.9,    WFM,  230,        60,       40
DEFAULT,      137.1,    WFM,  230,        0,        100
INI

# WxTrack's lines: UTC start, direction, highest elevation, seconds, name.
now=$(date -u +%s)
pass() { printf '%s %s %s %s %s\r\n' "$(date -u -d "@$(( now + $1 ))" +%Y%m%d%H%M%S)" "$2" "$3" "$4" "$5"; }
{
    pass 30 S 62 40 "METEOR-M2 3"
    pass 180 N 35 600 "METEOR-M2 4"
} > "$work/PassList.txt"

server=
trap '[ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; }' EXIT

listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# rigctld on a port nothing listens on, named in the demo's settings; a port
# another program takes meanwhile is left for the next.
start_rigctld() {
    local port
    for _ in $(seq 20); do
        port=$(( 20000 + RANDOM % 40000 ))
        listens "$port" && continue
        rigctld -m 1 -T 127.0.0.1 -t "$port" > >(sed -u 's/^/rigctld: /' >&2) 2>&1 &
        server=$!
        for _ in $(seq 50); do
            kill -0 "$server" 2>/dev/null || break
            if listens "$port"; then
                printf '[General]\nReceiver=rigctl\nRigctl%%20Address=127.0.0.1:%s\nRigctl%%20Kind=rigctld\n' \
                    "$port" > "$config/vantrel/Vantrel.conf"
                echo "rigctld -m 1 (its dummy radio) listens on 127.0.0.1:$port." >&2
                return 0
            fi
            sleep 0.1
        done
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
        server=
    done
    echo "vantrel-demo.sh: rigctld found no free port" >&2
    return 1
}

case $receiver in
    pcr1000)
        "$build/tools/pcr1000-sim/pcr1000-sim" --link "$com1" --transcript "$demo/transcript.txt" \
            > >(sed -u 's/^/pcr1000-sim: /' >&2) &
        server=$!
        for _ in $(seq 50); do [ -L "$com1" ] && break; sleep 0.1; done
        ;;
    rigctld)
        command -v rigctld > /dev/null ||
            { echo "vantrel-demo.sh: rigctld is missing (Debian package libhamlib-utils)" >&2; exit 1; }
        start_rigctld
        ;;
    *)
        echo "vantrel-demo.sh: the receiver is pcr1000 or rigctld, not '$receiver'" >&2
        exit 2
        ;;
esac

echo "Demo folder $demo: passes of METEOR-M2 3 in 30 s and METEOR-M2 4 in 3 min." >&2
cd "$work"
export XDG_CONFIG_HOME="$config"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Press \"Next Pass\" to start; \"Turn Off Pcr\", then \"Exit\" to end." >&2
    "$build/app/vantrel"
else
    echo "No display: running vantrel --headless for a minute." >&2
    status=0
    timeout --signal=TERM 60 "$build/app/vantrel" --headless || status=$?
    # 124: the minute was up and vantrel stopped as asked.
    [ "$status" -eq 0 ] || [ "$status" -eq 124 ]
fi
