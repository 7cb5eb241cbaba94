#!/usr/bin/env bash
# A render with the default set's physics (276 grains, 300 K, ccple 500, charge 10000) but
# 240000 frames, stored every 100 and analysed every 80, so that it still runs while the keys are
# tried (60000 frames took only 5 s on a fast machine), in the window: the grains are drawn over
# a black background, F9 switches the apparatus field off and on with its console messages, w
# turns the view and Shift+R turns it back, and the render ends by itself with exit status 0 and
# the farewell line. Brings its own X server.
# Usage: window_render.sh <quorvex binary>
set -u
source "$(dirname "$0")/window_lib.bash" || exit 1
in_own_x_server 590 "$@"
budget_end=$((SECONDS + 560))  # every wait ends before the outer timeout

keys() { retry xdotool key --window "$wid" --delay 20 "$@" 2> /dev/null; }
# Screenshot of the window's area of the screen.
shoot() { retry import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1" 2> /dev/null; }
# Pixels brighter than the black background in image $1, or in its part $2 ("WxH+X+Y").
lit_pixels() {
    convert "$1" ${2:+-crop "$2" +repage} -colorspace Gray -threshold 8% \
        -format '%[fx:round(mean*w*h)]' info:
}
# Where the lit pixels lie: (left - right) / (left + right), in hundredths.
balance() {
    local half=$((WIDTH / 2)) left right
    left=$(lit_pixels "$1" "${half}x${HEIGHT}+0+0")
    right=$(lit_pixels "$1" "${half}x${HEIGHT}+${half}+0")
    echo $((100 * (left - right) / (left + right > 0 ? left + right : 1)))
}
# Waits at most $2 seconds for the text $1 in the console output.
wait_for_text() {
    local deadline=$((SECONDS + $2))
    until grep -qF -- "$1" out.txt; do
        running && [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

printf '1\n0\nwindowrender\n13\n100\n276\n240000\n300\n500\n10000\n100\n80\n1\n1.0\n0\n' > answers
start_with_window 30
eval "$(retry xdotool getwindowgeometry --shell "$wid" 2> /dev/null)"
[[ -n ${WIDTH:-} && -n ${HEIGHT:-} ]] || fail "no geometry for window $wid"

# The grains appear once the set-up is done and the first redraw has happened.
deadline=$((SECONDS + 120)) lit=0
while [ $SECONDS -lt $deadline ]; do
    running || fail "the program ended before drawing any grains"
    shoot first.png && lit=$(lit_pixels first.png)
    [ "${lit:-0}" -ge 1000 ] && break
    sleep 0.5
done
[ "${lit:-0}" -ge 1000 ] || fail "no grains on screen within 120 s (${lit:-0} lit pixels)"
[ $((lit * 2)) -lt $((WIDTH * HEIGHT)) ] || fail "the background is not black ($lit lit pixels)"

keys F9
wait_for_text "E-Field is off" 30 || fail "F9 did not print \"E-Field is off\""
keys F9
wait_for_text "E-Field is on" 30 || fail "the second F9 did not print \"E-Field is on\""

# Turning the target 20 degrees towards +x moves the cloud to the left of the picture; Shift+R
# centres it again. Grains keep moving meanwhile, so look at where the lit pixels are.
sleep 1
shoot before.png
keys w w w w w w w w w w w w w w w w w w w w
sleep 2
shoot turned.png
keys R
sleep 2
shoot reset.png
running || fail "the program ended during the view keys"
b0=$(balance before.png) b1=$(balance turned.png) b2=$(balance reset.png)
echo "left-right balance of the lit pixels (%): before $b0, after w x20 $b1, after Shift+R $b2"
cmp -s before.png turned.png && fail "w did not change the picture"
[ $((b1 - b0)) -ge 20 ] || fail "w did not turn the view towards +x"
# The cloud moves on meanwhile (a busy machine renders many frames between the shots): back at
# least two thirds of the way.
d=$((b2 - b0))
[ $((3 * ${d#-})) -le $((b1 - b0)) ] || fail "Shift+R did not bring the view back"

wait_for_exit $((budget_end - SECONDS)) || fail "the render did not end in the time given"
[ "$status" -eq 0 ] || fail "the render ended with exit status $status"
grep -qxF "Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)" out.txt ||
    fail "no farewell line at the end of the render"
echo "PASS: render in the window drawn, switched, turned and ended with status 0"
