#!/usr/bin/env bash
# The right-button menu of a running render, under a virtual X server: "Quit" ends the program
# with exit status 0 through the normal exit path, so the farewell line is printed, and it does
# so long before the render would end by itself (no master file is written).
#
# Usage: menu_quit.sh <quorvex binary>
set -u
source "$(dirname "$0")/window_lib.bash" || exit 1
in_own_x_server 180 "$@"

farewell="Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)"

# A render of the default set's physics with far more frames than the test lasts, without the
# automated functions, into a data set called menuquit; only Quit can end it in time. Stdin ends
# after the set-up answers; nothing reads it later.
printf '1\n0\nmenuquit\n13\n100\n276\n1000000\n300\n500\n10000\n25\n20\n1\n1.0\n0\n' > answers
start_with_window 60

# Let the set-up dialogue finish and the main loop start handling events.
sleep 3
running || fail "the program ended before the menu was used"

# GLUT opens the menu at the pointer on the button press and chooses the entry under the
# pointer on the release. "Quit" is the seventh entry of the main menu; the others open
# submenus, so a release on them chooses nothing. The menu's row height comes from the GLUT
# menu font, so try a few offsets below the press point, the likeliest first.
x=100
y=100
quit=0
for dy in 162 155 170 148 178 140 186; do
    # A click of the left button away from the menu closes anything a previous try left open.
    xdotool mousemove --window "$wid" 600 700 click 1 2> /dev/null
    sleep 0.3
    xdotool mousemove --window "$wid" "$x" "$y" 2> /dev/null
    sleep 0.2
    xdotool mousedown 3 2> /dev/null
    sleep 0.4
    xdotool mousemove --window "$wid" $((x + 10)) $((y + dy / 2)) 2> /dev/null
    sleep 0.2
    xdotool mousemove --window "$wid" $((x + 10)) $((y + dy)) 2> /dev/null
    sleep 0.4
    xdotool mouseup 3 2> /dev/null
    # Up to 10 s for the program to end.
    if wait_for_exit 10; then
        quit=1
        break
    fi
done
[ "$quit" -eq 1 ] || fail "the program was still running after choosing Quit"

[ "$status" -eq 0 ] || fail "exit status $status, expected 0"
grep -qF "$farewell" out.txt || fail "no farewell line on standard output"
[ ! -e menuquitMasterFile ] || fail "the render ran to its end; Quit did not end it"
echo "PASS: Quit in the menu ended the render with status 0 and the farewell line"
