#!/usr/bin/env bash
# The right-button menu of a running render, under a virtual X server: "Quit" ends the program
# with exit status 0 through the normal exit path, so the farewell line is printed, long before
# the render would end by itself (no master file is written).
# Usage: menu_quit.sh <quorvex binary>
set -u
source "$(dirname "$0")/window_lib.bash" || exit 1
in_own_x_server 180 "$@"

# The default set's physics with far more frames than the test lasts, without the automated
# functions, into a data set called menuquit; stdin ends after the set-up answers.
printf '1\n0\nmenuquit\n13\n100\n276\n1000000\n300\n500\n10000\n25\n20\n1\n1.0\n0\n' > answers
start_with_window 60
sleep 3  # for the set-up to finish and the main loop to handle events
running || fail "the program ended before the menu was used"

# GLUT opens the menu at the pointer on the button press and chooses the entry under the pointer
# on the release. "Quit" is the seventh entry of the main menu, the others open submenus; the row
# height comes from the menu font, so try a few offsets below the press point, likeliest first.
for dy in 162 155 170 148 178 140 186; do
    # A left click away from the menu closes anything a previous try left open.
    xdotool mousemove --window "$wid" 600 700 click 1 2> /dev/null
    sleep 0.3
    xdotool mousemove --window "$wid" 100 100 2> /dev/null
    sleep 0.2
    xdotool mousedown 3 2> /dev/null
    sleep 0.4
    xdotool mousemove --window "$wid" 110 $((100 + dy / 2)) 2> /dev/null
    sleep 0.2
    xdotool mousemove --window "$wid" 110 $((100 + dy)) 2> /dev/null
    sleep 0.4
    xdotool mouseup 3 2> /dev/null
    wait_for_exit 10 && break
done
running && fail "the program was still running after choosing Quit"
[ "$status" -eq 0 ] || fail "exit status $status, expected 0"
grep -qF "Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)" out.txt ||
    fail "no farewell line on standard output"
[ ! -e menuquitMasterFile ] || fail "the render ran to its end; Quit did not end it"
echo "PASS: Quit in the menu ended the render with status 0 and the farewell line"
