#!/usr/bin/env bash
# The right-button menu of a running render, under a virtual X server: "Quit" ends the program
# with exit status 0 through the normal exit path, so the farewell line is printed, and it does
# so long before the render would end by itself (no master file is written).
#
# Usage: menu_quit.sh <quorvex binary>
set -u

fail() {
    echo "menu_quit: FAIL: $*" >&2
    exit 1
}

[ $# -ge 1 ] || fail "usage: $0 <quorvex binary>"
bin=$(realpath "$1") || fail "no binary given"
[ -x "$bin" ] || fail "$bin is not executable"

# Outside the virtual server: start one, with a bound on each run, and run this script again
# inside it. xvfb-run -a can race with another server starting at the same moment; the inner
# run then finds no usable display and answers 2, and the whole run is tried again.
if [ -z "${QUORVEX_MENU_QUIT_INSIDE:-}" ]; then
    command -v xvfb-run > /dev/null || fail "xvfb-run is not installed"
    command -v xdotool > /dev/null || fail "xdotool is not installed"
    export QUORVEX_MENU_QUIT_INSIDE=1
    for attempt in 1 2 3; do
        timeout --kill-after=10 180 \
            xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$bin"
        rc=$?
        [ "$rc" -eq 2 ] || exit "$rc"
        echo "menu_quit: no usable display on attempt $attempt, trying again" >&2
        sleep 2
    done
    fail "no usable virtual display after 3 attempts"
fi

farewell="Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)"
work=$(mktemp -d) || fail "no temporary directory"
pid=""

cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then
        kill "$pid" 2> /dev/null
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$pid" 2> /dev/null || break
            sleep 0.2
        done
        kill -9 "$pid" 2> /dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

show_output() {
    echo "--- program output (last lines) ---" >&2
    tail -n 20 "$work/out.txt" >&2
    tail -n 20 "$work/err.txt" >&2
}

running() { kill -0 "$pid" 2> /dev/null; }

cd "$work" || fail "cannot enter $work"

# A render of the default set's physics with far more frames than the test lasts, without the
# automated functions, into a data set called menuquit; only Quit can end it in time. Stdin ends
# after the set-up answers; nothing reads it later.
printf '1\n0\nmenuquit\n13\n100\n276\n1000000\n300\n500\n10000\n25\n20\n1\n1.0\n0\n' > answers.txt
"$bin" < answers.txt > out.txt 2> err.txt &
pid=$!

# The window, within 60 s.
win=""
for _ in $(seq 1 300); do
    win=$(xdotool search --onlyvisible --name '^Quorvex v1\.0$' 2> /dev/null | head -n 1)
    [ -n "$win" ] && break
    # Without a display the program goes on headless; that is the server's fault, not Quit's.
    grep -q "No display available" out.txt && exit 2
    if ! running; then
        show_output
        if grep -q "failed to open display" err.txt || grep -q "No display available" out.txt; then
            exit 2
        fi
        fail "the program ended before its window appeared"
    fi
    sleep 0.2
done
[ -n "$win" ] || { show_output; fail "no window \"Quorvex v1.0\" within 60 s"; }

# Let the set-up dialogue finish and the main loop start handling events.
sleep 3
running || { show_output; fail "the program ended before the menu was used"; }

# GLUT opens the menu at the pointer on the button press and chooses the entry under the
# pointer on the release. "Quit" is the seventh entry of the main menu; the others open
# submenus, so a release on them chooses nothing. The menu's row height comes from the GLUT
# menu font, so try a few offsets below the press point, the likeliest first.
x=100
y=100
quit=0
for dy in 162 155 170 148 178 140 186; do
    # A click of the left button away from the menu closes anything a previous try left open.
    xdotool mousemove --window "$win" 600 700 click 1 2> /dev/null
    sleep 0.3
    xdotool mousemove --window "$win" "$x" "$y" 2> /dev/null
    sleep 0.2
    xdotool mousedown 3 2> /dev/null
    sleep 0.4
    xdotool mousemove --window "$win" $((x + 10)) $((y + dy / 2)) 2> /dev/null
    sleep 0.2
    xdotool mousemove --window "$win" $((x + 10)) $((y + dy)) 2> /dev/null
    sleep 0.4
    xdotool mouseup 3 2> /dev/null
    # Up to 10 s for the program to end.
    for _ in $(seq 1 50); do
        running || break
        sleep 0.2
    done
    if ! running; then
        quit=1
        break
    fi
done
[ "$quit" -eq 1 ] || { show_output; fail "the program was still running after choosing Quit"; }

wait "$pid"
status=$?
pid=""

[ "$status" -eq 0 ] || { show_output; fail "exit status $status, expected 0"; }
grep -qF "$farewell" out.txt || { show_output; fail "no farewell line on standard output"; }
[ ! -e menuquitMasterFile ] || fail "the render ran to its end; Quit did not end it"
echo "menu_quit: ok"
exit 0
