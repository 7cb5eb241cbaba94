#!/usr/bin/env bash
# A whole render without a window: a small run mode 1 set answered on stdin, then the data set,
# master and Rdistribution files and the exit are checked. Usage: render_headless.sh <quorvex>
set -u

program=$(realpath "$1")
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Menu 1, no automation, name "run", seed 13, 2 dead particles, 3 grains, 8 frames, 300 K,
# CCP 500, charge 10000, write every 4 frames, analyse every 4, one mass, step 1.0, no speeds.
answers='1
0
run
13
2
3
8
300
500
10000
4
4
1
1.0
0
'
farewell='Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)'

# Field $2 of the first line of file $1.
headerField() { head -n 1 "$1" | cut -d' ' -f "$2"; }

# The distinct frame numbers of the frame lines of file $1, in file order, on one line.
frameNumbers() {
    local slots
    slots=$(headerField "$1" 1)
    tail -n +"$((slots + 2))" "$1" | cut -d' ' -f1 | uniq | tr '\n' ' ' | sed 's/ $//'
}

checkRenderFiles() {
    local where=$1
    [[ -f run ]] || { fail "$where: no data set file"; return; }
    [[ $(headerField run 1) == 5 ]] || fail "$where: data set header does not count 5 slots"
    [[ $(headerField run 2) == 2 ]] || fail "$where: data set EndFrame is not 2"
    [[ $(headerField run 6) == 4 ]] || fail "$where: data set write frequency is not 4"
    [[ $(head -n 1 run | wc -w) == 9 ]] || fail "$where: data set header has not 9 fields"
    [[ $(wc -l <run) == $((1 + 5 + 3 * 5)) ]] || fail "$where: data set has $(wc -l <run) lines"
    [[ $(frameNumbers run) == "1 4 8" ]] || fail "$where: stored frames are '$(frameNumbers run)'"

    [[ -f runMasterFile ]] || { fail "$where: no master file"; return; }
    [[ $(headerField runMasterFile 2) == 2 ]] || fail "$where: master file EndFrame is not 2"
    [[ $(headerField runMasterFile 6) == 1 ]] || fail "$where: master write frequency is not 1"
    [[ $(frameNumbers runMasterFile) == "1 2" ]] ||
        fail "$where: master frames are '$(frameNumbers runMasterFile)'"
    [[ $(wc -l <runMasterFile) == $((1 + 5 + 2 * 5)) ]] || fail "$where: master file length"

    [[ $(wc -l <runRdistribution.xls 2>/dev/null) == 5 ]] ||
        fail "$where: Rdistribution file has not one line per slot"
}

# Variant 1: the headless switch.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/headless"
cd "$work/headless"
printf '%s' "$answers" | QUORVEX_HEADLESS=1 timeout 300 "$program" >console.txt 2>&1
status=$?
[[ $status == 0 ]] || fail "headless: exit status $status"
checkRenderFiles headless
grep -qF -- "$farewell" console.txt || fail "headless: no farewell line"

# Variant 2: no display at all. Crystal viewing is refused first, then the same render runs.
mkdir "$work/nodisplay"
cd "$work/nodisplay"
printf '6\n%s' "$answers" | env -u DISPLAY -u QUORVEX_HEADLESS timeout 300 "$program" \
    >console.txt 2>&1
status=$?
[[ $status == 0 ]] || fail "no display: exit status $status"
grep -q 'without a window' console.txt || fail "no display: does not say it runs without a window"
grep -q 'Option 6 needs a window' console.txt || fail "no display: crystal viewing not refused"
checkRenderFiles "no display"
grep -qF -- "$farewell" console.txt || fail "no display: no farewell line"

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "headless render checks passed"
