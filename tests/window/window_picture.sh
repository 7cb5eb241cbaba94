#!/usr/bin/env bash
# Shift+P in a replay saves the view as a PNG and names it on the console; `quorvex picture`
# draws the same stored frame offscreen, with the window's drawing code, into the same picture
# (the spheres' meshes come from GLU there, so edges may differ by a pixel). Brings its own X
# server. Usage: window_picture.sh <quorvex binary>
set -u
source "$(dirname "$0")/window_lib.bash" || exit 1
in_own_x_server 200 "$@"

printf 'name = "small"\nparticles = 100\nframes = 200\n' >small.toml
"$prog" render small.toml >/dev/null 2>&1 || fail "the small render"
# Play it: the replay starts paused on stored frame 1.
printf '2\nsmall\n1\n0\n' >answers
start_with_window 30
sleep 2
retry xdotool key --window "$wid" P 2>/dev/null || fail "no key press"
deadline=$((SECONDS + 30))
until grep -qF "The view is saved as smallView1.png" out.txt; do
    running && [ $SECONDS -lt $deadline ] || fail "Shift+P did not save the view"
    sleep 0.2
done
[ "$(identify -format '%wx%h' smallView1.png)" = 900x900 ] || fail "the saved view is not 900x900"
"$prog" picture small --frame 1 -o offscreen.png >/dev/null || fail "quorvex picture"

# Lit pixels of each, and of the two side by side where only one is lit.
lit() { convert "$1" -colorspace Gray -threshold 8% -format '%[fx:round(mean*w*h)]' info:; }
window=$(lit smallView1.png) offscreen=$(lit offscreen.png)
apart=$(compare -metric AE -fuzz 30% smallView1.png offscreen.png null: 2>&1)
echo "lit pixels: window $window, offscreen $offscreen, differing $apart"
[ "$window" -gt 2000 ] || fail "the saved view shows no grains ($window lit pixels)"
[ $((apart * 10)) -lt "$window" ] || fail "the offscreen picture differs from the window's"
kill "$pid"
echo "window picture: Shift+P saved the view; the offscreen picture matches it"
