#!/usr/bin/env bash
# Render speed on an idle machine against the same machine with one core taken by a busy loop:
#   1. the default render (run mode 4, no window), whole run, idle and loaded;
#   2. renders of 8000 grains, frames per second over 100 frames (the set-up left out by timing
#      20 and 120 frames), idle and loaded, with the cores the program actually got (its CPU
#      time over the wall time) and its speed per such core.
# Usage: bench/busy.sh [path/to/quorvex]   (default build/quorvex; QUORVEX_THREADS is honoured)
# The figures only mean something on a machine that nothing else keeps busy.
set -u

program=$(realpath "${1:-build/quorvex}")
[[ -x $program ]] || { echo "no program at $program" >&2; exit 1; }
work=$(mktemp -d)
hog=
stop_hog() {
    if [[ -n $hog ]]; then
        kill "$hog" 2>/dev/null
        wait "$hog" 2>/dev/null
        hog=
    fi
}
trap 'stop_hog; rm -rf "$work"' EXIT

calc() { awk "BEGIN { print $* }"; }

# render NAME ANSWERS...: runs one render in a folder of its own; sets `wall` and `cpu` (seconds).
render() {
    local name=$1
    shift
    mkdir -p "$work/$name" && cd "$work/$name" || exit 1
    local TIMEFORMAT='%R %U %S' times
    times=$({ time (printf '%s\n' "$@" | QUORVEX_HEADLESS=1 "$program" >console.txt 2>&1); } 2>&1)
    grep -q 'Have a nice day' console.txt || { echo "render $name failed:" >&2; tail -3 console.txt >&2; exit 1; }
    read -r wall user sys <<<"$times"
    cpu=$(calc "$user + $sys")
    cd "$work" && rm -rf "${work:?}/$name"
}

# big FRAMES: an 8000-grain render; writes and analyses every 20 frames.
big() { render "big$1-$2" 1 0 big 13 2 8000 "$1" 300 500 10000 20 20 1 1.0 0; }

measure() {
    local label=$1
    render "default-$label" 4 0 run1
    default_wall[$label]=$wall
    big 20 "$label"
    local w1=$wall c1=$cpu
    big 120 "$label"
    big_fps[$label]=$(calc "100 / ($wall - $w1)")
    big_cores[$label]=$(calc "($cpu - $c1) / ($wall - $w1)")
}

declare -A default_wall big_fps big_cores
cores=$(nproc)
threads=${QUORVEX_THREADS:-$cores}
echo "cores: $cores, threads: $threads"
measure idle
# One busy process holds a core for the whole loaded half.
bash -c 'while :; do :; done' &
hog=$!
measure loaded
stop_hog

f() { printf '%.3g' "$1"; }
per_core_idle=$(calc "${big_fps[idle]} / ${big_cores[idle]}")
per_core_loaded=$(calc "${big_fps[loaded]} / ${big_cores[loaded]}")
# With the busy loop, a fair scheduler gives each of threads + 1 busy threads an equal share.
fair=$(calc "$cores * $threads / ($threads + 1)")
fair=$(calc "$fair < $threads ? $fair : $threads")
idle_cores=$((threads < cores ? threads : cores))
echo "default render: idle $(f "${default_wall[idle]}") s, loaded $(f "${default_wall[loaded]}") s," \
    "loaded/idle $(f "$(calc "${default_wall[loaded]} / ${default_wall[idle]}")") (target <= 2)"
echo "8000 grains: idle $(f "${big_fps[idle]}") frames/s on $(f "${big_cores[idle]}") cores," \
    "loaded $(f "${big_fps[loaded]}") frames/s on $(f "${big_cores[loaded]}") cores"
echo "8000 grains, speed per core it got: loaded/idle" \
    "$(f "$(calc "$per_core_loaded / $per_core_idle")") (target >= 0.8)"
echo "8000 grains, speed per fair share ($(f "$fair") of $idle_cores cores): loaded/idle" \
    "$(f "$(calc "${big_fps[loaded]} / $fair / (${big_fps[idle]} / $idle_cores)")")"
