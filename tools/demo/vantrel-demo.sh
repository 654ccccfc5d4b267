#!/usr/bin/env bash
# The demo `make run` starts: Vantrel drives pcr1000-sim through a pass, in
# a demo folder of its own (never ~/.config/vantrel). With a display it
# opens the window and ends when the window closes; without one it runs
# `vantrel --headless` for about a minute.
#
#   tools/demo/vantrel-demo.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: vantrel-demo.sh BUILD_FOLDER}" && pwd)
demo="$build/demo"
config="$demo/config"
work="$demo/work"
com1="$config/vantrel/dosdevices/com1"

rm -rf "$demo"
mkdir -p "$work" "$(dirname "$com1")"

# Real weather-satellite downlinks; APT wants about 40 kHz, hence the
# 50 kHz filter; the DEFAULT line silences the receiver between passes.
cat > "$work/Vantrel.ini" <<'INI'
# name,       MHz,      mode, filter kHz, volume %, squelch %, [DSPON|DSPOFF, DSP level %]
NOAA 15,      137.62,   WFM,  50,         60,       40
NOAA 18,      137.9125, WFM,  50,         60,       40
NOAA 19,      137.1,    WFM,  50,         60,       40,        DSPON, 50
METEOR-M2 3,  137.9,    WFM,  230,        60,       40
DEFAULT,      137.1,    WFM,  50,         0,        100
INI

# WxTrack's lines: UTC start, direction, highest elevation, seconds, name.
now=$(date -u +%s)
pass() { printf '%s %s %s %s %s\r\n' "$(date -u -d "@$(( now + $1 ))" +%Y%m%d%H%M%S)" "$2" "$3" "$4" "$5"; }
{
    pass 30 S 62 40 "NOAA 19"
    pass 180 N 35 600 "METEOR-M2 3"
} > "$work/PassList.txt"

"$build/tools/pcr1000-sim/pcr1000-sim" --link "$com1" --transcript "$demo/transcript.txt" \
    > >(sed -u 's/^/pcr1000-sim: /' >&2) &
simulator=$!
trap 'kill "$simulator" 2>/dev/null; wait "$simulator" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -L "$com1" ] && break; sleep 0.1; done

echo "Demo folder $demo: passes of NOAA 19 in 30 s and METEOR-M2 3 in 3 min." >&2
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
