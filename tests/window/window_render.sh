#!/usr/bin/env bash
# A render with the default set's physics (276 grains, 300 K, ccple 500, charge 10000, stored
# every 25 frames, analysed every 20) but 60000 frames, so that it is still running while the
# keys are tried, in the window: the grains are drawn over the background, F9
# switches the apparatus field off and on with its console messages, w turns the view and
# Shift+R turns it back, and the render ends by itself with exit status 0 and the farewell
# line. Prints how long the render took; with QUORVEX_MEASURE=1 it also times the same render
# without a window. Brings its own X server.
# Usage: window_render.sh <quorvex binary>
set -u
source "$(dirname "$0")/window_lib.bash" || exit 1
in_own_x_server 590 "$@"

farewell='Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)'

now() { date +%s.%N; }
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

keys() { retry xdotool key --window "$wid" --delay 20 "$@" 2>/dev/null; }

# Screenshot of the window's area of the screen.
shoot() {
    retry import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1" 2>/dev/null
}

# Pixels brighter than the black background in an image, or in a part of it ("WxH+X+Y").
lit_pixels() {
    local region=${2:-}
    if [ -n "$region" ]; then
        convert "$1" -crop "$region" +repage -colorspace Gray -threshold 8% \
            -format '%[fx:round(mean*w*h)]' info:
    else
        convert "$1" -colorspace Gray -threshold 8% -format '%[fx:round(mean*w*h)]' info:
    fi
}

# Where the lit pixels lie left or right: (left - right) / (left + right), in hundredths.
balance() {
    local half=$((WIDTH / 2)) left right
    left=$(lit_pixels "$1" "${half}x${HEIGHT}+0+0")
    right=$(lit_pixels "$1" "${half}x${HEIGHT}+${half}+0")
    [ $((left + right)) -gt 0 ] || { echo 0; return; }
    echo $((100 * (left - right) / (left + right)))
}

# Waits at most $2 seconds for the text $1 in the console output.
wait_for_text() {
    local deadline=$((SECONDS + $2))
    while [ $SECONDS -lt $deadline ]; do
        grep -qF -- "$1" out.txt && return 0
        running || return 1
        sleep 0.2
    done
    return 1
}

# Every wait below stays inside this budget, well before the outer timeout ends the X server.
budget_end=$((SECONDS + 560))

printf '1\n0\nwindowrender\n13\n100\n276\n60000\n300\n500\n10000\n25\n20\n1\n1.0\n0\n' > answers
start=$(now)
start_with_window 30
eval "$(retry xdotool getwindowgeometry --shell "$wid" 2>/dev/null)"
if [ -z "${WIDTH:-}" ] || [ -z "${HEIGHT:-}" ]; then fail "no geometry for window $wid"; fi

# The grains appear once the set-up is done and the first redraw has happened.
lit=0
deadline=$((SECONDS + 120))
while [ $SECONDS -lt $deadline ]; do
    running || fail "the program ended before drawing any grains"
    shoot first.png && lit=$(lit_pixels first.png)
    lit=${lit:-0}
    [ "$lit" -ge 1000 ] && break
    sleep 0.5
done
total=$((WIDTH * HEIGHT))
[ "$lit" -ge 1000 ] || fail "no grains on screen within 120 s ($lit lit pixels)"
[ $((lit * 2)) -lt "$total" ] || fail "the background is not black ($lit of $total pixels lit)"
echo "grains on screen: $lit of $total pixels lit"

keys F9
wait_for_text "E-Field is off" 30 || fail "F9 did not print \"E-Field is off\""
keys F9
wait_for_text "E-Field is on" 30 || fail "the second F9 did not print \"E-Field is on\""
echo "F9 switched the field off and on again"

# The view: turning the target 20 degrees towards +x moves the cloud to the left of the
# picture; Shift+R centres it again. Grains keep moving meanwhile, so the test looks at where
# the lit pixels are, not at single pixels.
sleep 1
shoot before.png
keys w w w w w w w w w w w w w w w w w w w w
sleep 2
shoot turned.png
keys R
sleep 2
shoot reset.png
running || fail "the program ended during the view keys"
b0=$(balance before.png)
b1=$(balance turned.png)
b2=$(balance reset.png)
echo "left-right balance of the lit pixels (%): before $b0, after w x20 $b1, after Shift+R $b2"
cmp -s before.png turned.png && fail "w did not change the picture"
[ $((b1 - b0)) -ge 20 ] || fail "w did not turn the view towards +x"
d=$((b2 - b0))
[ "${d#-}" -le 12 ] || fail "Shift+R did not bring the view back"

wait_for_exit $((budget_end - SECONDS)) || fail "the render did not end in the time given"
end=$(now)
[ "$status" -eq 0 ] || fail "the render ended with exit status $status"
grep -qxF -- "$farewell" out.txt || fail "no farewell line at the end of the render"
window_time=$(seconds_between "$start" "$end")
echo "render with window: ${window_time} s"

if [ "${QUORVEX_MEASURE:-0}" = 1 ]; then
    mkdir headless || fail "no directory for the headless render"
    cd headless || fail "no directory for the headless render"
    start=$(now)
    QUORVEX_HEADLESS=1 timeout 480 "$prog" < ../answers > out.txt 2> err.txt
    status=$?
    end=$(now)
    [ "$status" -eq 0 ] || fail "the render without a window ended with exit status $status"
    headless_time=$(seconds_between "$start" "$end")
    echo "render without window: ${headless_time} s" \
        "(window/no window: $(awk -v a="$window_time" -v b="$headless_time" \
            'BEGIN { printf "%.2f", a / b }'))"
fi
echo "PASS: render in the window drawn, switched, turned and ended with status 0"
