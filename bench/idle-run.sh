#!/usr/bin/env bash
# CPU time and wake-ups of vantrel while a run waits between its checks:
# `vantrel --headless`, then the window under Xvfb (when Xvfb and xdotool
# are there), each against pcr1000-sim with no pass under way.
#
#   bench/idle-run.sh [BUILD_FOLDER] [SECONDS]      (default build/dev, 60)
set -euo pipefail

build=$(cd "${1:-build/dev}" && pwd)
seconds=${2:-60}
dir=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

mkdir -p "$dir/config/vantrel/dosdevices" "$dir/work"
printf 'NOAA 19, 137.1, WFM, 50, 60, 40\nDEFAULT, 137.1, WFM, 50, 0, 100\n' > "$dir/work/Vantrel.ini"
printf '%s N 40 900 NOAA 19\r\n' "$(date -u -d '+1 day' +%Y%m%d%H%M%S)" > "$dir/work/PassList.txt"
"$build/tools/pcr1000-sim/pcr1000-sim" --link "$dir/config/vantrel/dosdevices/com1" \
    --transcript "$dir/transcript.txt" > /dev/null &
pids+=($!)
sleep 0.5
export XDG_CONFIG_HOME="$dir/config"
cd "$dir/work"

# CPU nanoseconds and context switches (each is a wake-up after a sleep,
# or a preemption) summed over the process's threads.
sample() {
    local pid=$1 cpu=0 switches=0 task
    for task in /proc/"$pid"/task/*; do
        cpu=$(( cpu + $(cut -d' ' -f1 "$task/schedstat") ))
        switches=$(( switches + $(awk '/ctxt_switches/ { n += $2 } END { print n }' "$task/status") ))
    done
    echo "$cpu $switches"
}

measure() {
    local what=$1 pid=$2
    sleep 6  # start-up (3 s for a first reply nobody sends) and the first check
    if [ "$(grep -c 'H101' "$dir/transcript.txt" 2>/dev/null)" != "$3" ]; then
        echo "$what: the run did not start" >&2
        exit 1
    fi
    read -r cpu0 switches0 < <(sample "$pid")
    # Bursts of activity: wake-ups of any thread, those less than a second
    # apart counted as one burst (a check, and the painting it causes).
    local bursts=0 at="" last=$switches0 active=-100 now tick begin end
    begin=$(date +%s%N)
    for (( tick = 0; tick < seconds * 10; ++tick )); do
        sleep 0.1
        now=$(sample "$pid" | cut -d' ' -f2)
        if (( now != last )); then
            if (( tick - active > 10 )); then
                bursts=$(( bursts + 1 ))
                at+=" $(( ($(date +%s%N) - begin) / 100000000 ))"
            fi
            active=$tick
        fi
        last=$now
    done
    end=$(date +%s%N)
    read -r cpu1 switches1 < <(sample "$pid")
    awk -v what="$what" -v s="$(( (end - begin) / 1000000000 ))" -v at="$at" -v cpu=$(( cpu1 - cpu0 )) -v sw=$(( switches1 - switches0 )) \
        -v bursts="$bursts" -v threads="$(ls /proc/"$pid"/task | wc -l)" 'BEGIN {
            printf "%s over %d s: CPU %.2f ms (%.4f %% of one core); %d wake-ups in %d threads, " \
                   "in %d bursts (at tenths of seconds:%s)\n",
                what, s, cpu / 1e6, cpu / 1e7 / s, sw, threads, bursts, at }'
}

"$build/app/vantrel" --headless > /dev/null 2>&1 &
pids+=($!)
measure "vantrel --headless" $! 1
kill -TERM "${pids[-1]}"

if command -v Xvfb > /dev/null && command -v xdotool > /dev/null; then
    display=:$(( 90 + RANDOM % 100 ))
    Xvfb "$display" -screen 0 1024x768x24 > /dev/null 2>&1 &
    pids+=($!)
    sleep 1
    DISPLAY=$display "$build/app/vantrel" > /dev/null 2>&1 &
    pids+=($!)
    vantrel=$!
    window=$(DISPLAY=$display xdotool search --sync --name '^Vantrel$' | head -1)
    # "Next Pass" has the focus when the window opens.
    DISPLAY=$display xdotool windowfocus --sync "$window" key space
    measure "vantrel (window, Xvfb)" "$vantrel" 2
else
    echo "Xvfb or xdotool missing: the window was not measured."
fi
