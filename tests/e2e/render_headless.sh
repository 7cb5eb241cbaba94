#!/usr/bin/env bash
# A whole render without a window, once with the headless switch and once with no display at all:
# a small run mode 1 set answered on stdin, then the exit status, the console and the data set,
# master and Rdistribution files are checked. Usage: render_headless.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"

# Menu 1, no automation, name "run", seed 13, 2 dead particles, 3 grains, 8 frames, 300 K,
# CCP 500, charge 10000, write every 4 frames, analyse every 4, one mass, step 1.0, no speeds;
# one answer a line.
answers='1 0 run 13 2 3 8 300 500 10000 4 4 1 1.0 0'

# Header fields 1, 2 and 6 (slots, EndFrame, frames a stored frame stands for), line count and
# frame numbers in order (frame lines have five fields) of file $1.
summary() {
    echo "$(head -n 1 "$1" | cut -d' ' -f 1,2,6) | $(wc -l <"$1") lines |" \
        "$(awk 'NF == 5 && $2 == 1 { printf "%s%s", sep, $1; sep = " " }' "$1")"
}

# $1: variant name, $2: text typed before the answers; the rest: the command to run.
render() {
    local where=$1 before=$2
    shift 2
    mkdir "$work/$where" && cd "$work/$where" || return
    printf '%s\n' $before $answers | timeout 300 "$@" "$program" >console.txt 2>&1
    local status=$?
    [[ $status == 0 ]] || fail "$where: exit status $status"
    grep -q 'without a window' console.txt || fail "$where: does not say it runs without a window"
    grep -qF 'Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)' console.txt ||
        fail "$where: no farewell line"
    # Header, 5 property lines and frames 1, 4 and 8 of 5 slots; the master file: frames 1 and 2.
    [[ $(summary run 2>&1) == "5 2 4 | 21 lines | 1 4 8" ]] || fail "$where: data set '$(summary run)'"
    [[ $(summary runMasterFile 2>&1) == "5 2 1 | 16 lines | 1 2" ]] ||
        fail "$where: master file '$(summary runMasterFile)'"
    [[ $(wc -l <runRdistribution.xls) == 5 ]] || fail "$where: Rdistribution is not one line a slot"
}

render headless '' env QUORVEX_HEADLESS=1
# Without a display crystal viewing is refused first, then the same render runs.
render nodisplay '6 ' env -u DISPLAY -u QUORVEX_HEADLESS
grep -q 'Option 6 needs a window' "$work/nodisplay/console.txt" ||
    fail "no display: crystal viewing not refused"

finish "headless render checks passed"
