#!/usr/bin/env bash
# Frames per second of the window under a virtual X server of its own (Xvfb; Mesa's software GL
# unless the environment picks another), counted by bench/swapcount preloaded into the program:
#   1. the 8000-grain crystal view (start-up menu answer 6), which redraws every idle call;
#   2. a 276-grain replay, paused on its first frame: it too redraws every idle call, so this is
#      what the window can draw;
#   3. a 276-grain render with the default set's physics (but 400000 frames, stored every 1000, so
#      that it outlasts the count), whose redraws the program paces to leave the simulation most
#      of the time.
# The default render (menu answer 4) is over in about two seconds, too soon to be counted.
# Usage: bench/window_fps.sh [path/to/quorvex ...]   (default build/quorvex)
# Several programs (a build from before a change and one after) take turns on each figure, and
# each line then ends with its program. Each figure comes with the processor time a frame (the
# program and GL's threads), which a machine that others keep busy changes less than the rate.
# Environment: SWAPCOUNT_WARMUP and SWAPCOUNT_SECONDS (defaults 3 and 10) set the warm-up and the
# counted span; SWAPCOUNT_LIB the counting library (default build/bench/libswapcount.so of this
# tree); KEEP=1 keeps the programs' folders. Mesa's LP_NUM_THREADS and the like pass through.
set -u

here=$(cd "$(dirname "$0")" && pwd)
programs=() labels=()
for given in "${@:-build/quorvex}"; do
    labels+=("$given")
    program=$(realpath "$given" 2>/dev/null)
    [[ -x $program ]] || { echo "no program at $given" >&2; exit 1; }
    programs+=("$program")
done
# The counting library of this source tree's build serves any program, an older one too.
lib=${SWAPCOUNT_LIB:-$here/../build/bench/libswapcount.so}
[[ -f $lib ]] || lib=$(dirname "${programs[0]}")/bench/libswapcount.so
[[ -f $lib ]] || { echo "no libswapcount.so (build bench/ or set SWAPCOUNT_LIB)" >&2; exit 1; }
lib=$(realpath "$lib")
command -v Xvfb >/dev/null || { echo "Xvfb is missing" >&2; exit 1; }

work=$(mktemp -d)
[[ -n ${KEEP:-} ]] && echo "program folders kept in $work"
xpid=
trap '[[ -n $xpid ]] && kill "$xpid" 2>/dev/null; [[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT

# The server picks a free display itself and writes its number to the pipe.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset >"$work/xvfb.log" 2>&1 &
xpid=$!
read -r -t 20 number <&3 || { echo "Xvfb did not start" >&2; exit 1; }
exec 3<&-
export DISPLAY=:$number

# measure TITLE ANSWERS: runs every program on the answers, each in a folder of its own, and
# prints one line for each.
run=0
measure() {
    local title=$1 answers=$2 program folder figure i
    for i in "${!programs[@]}"; do
        program=${programs[i]}
        run=$((run + 1)) folder=$work/$run
        mkdir -p "$folder" && cp -r "$work/data/." "$folder/" 2>/dev/null
        figure=$(cd "$folder" && printf '%b' "$answers" >answers &&
            SWAPCOUNT_OUT=$folder/fps LD_PRELOAD=$lib timeout -k 5 180 "$program" \
                <answers >out.txt 2>err.txt
            sed 's/ (.*, / (/' fps 2>/dev/null)
        echo "window $title: ${figure:-no figure (KEEP=1 keeps $folder)}${programs[1]+  ${labels[i]}}"
    done
}

# A 276-grain data set to replay (written by the first program; the format has not changed).
mkdir -p "$work/data"
if ! (cd "$work/data" && printf 'name = "small"\nparticles = 276\nframes = 200\n' >small.toml &&
    "${programs[0]}" render small.toml >/dev/null 2>&1); then
    echo "no 276-grain data set" >&2
    exit 1
fi

measure "crystal 8000 grains" '6\ncrystal\n'
measure "replay 276 grains" '2\nsmall\n1\n0\n'
measure "render 276 grains" '1\n0\nrender\n13\n100\n276\n400000\n300\n500\n10000\n1000\n20\n1\n1.0\n0\n'
