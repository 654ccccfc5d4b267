#!/usr/bin/env bash
# Takes the README's picture of the window: the demo `make run` starts,
# under Xvfb, once its first pass has begun and the receiver was retuned.
# Needs Xvfb, xdotool and ImageMagick's import (`make screenshot` installs them).
#
#   tools/screenshot/take-screenshot.sh BUILD_FOLDER OUTPUT.png
set -euo pipefail

build=$(cd "${1:?usage: take-screenshot.sh BUILD_FOLDER OUTPUT.png}" && pwd)
output=${2:?usage: take-screenshot.sh BUILD_FOLDER OUTPUT.png}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and says which.
Xvfb -displayfd 3 -screen 0 1280x960x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

"$here/../demo/vantrel-demo.sh" "$build" > "$work/demo.log" 2>&1 &
pids+=($!)
window=$(xdotool search --sync --name '^Vantrel$' | head -1)
# Roomier than it opens, so the log's lines show whole.
xdotool windowsize --sync "$window" 760 480
# "Next Pass" has the focus when the window opens.
xdotool windowfocus --sync "$window" key space

# The demo's first pass begins 30 s after it started; a check every ten
# seconds finds it and retunes the receiver.
sleep 45
import -window "$window" "$output"
kill "$(xdotool getwindowpid "$window")"
echo "$output: $(identify -format '%wx%h' "$output")"
