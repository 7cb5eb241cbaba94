#!/usr/bin/env bash
# Figures without a screen: a render's result files become PNG plots (every one made, of its
# size, not blank), and the offscreen picture of a hand-made three-grain frame is lit where the
# window's camera puts the grains and dark elsewhere.
# Usage: figures.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"
export QUORVEX_HEADLESS=1
cd "$work"
run=(timeout -k 5 60 "$program")
python=/usr/bin/python3
unset DISPLAY

# Three grains of the mean radius 0.5 in the plane z = 0 of an apparatus of radius 10.
cat >three <<'DATA'
3 1 10 1 1 1 1 1 0
1 0 0 0 1 -1 0.5
2 0 0 0 1 -1 0.5
3 0 0 0 1 -1 0.5
1 1 5 0 0
1 2 0 5 0
1 3 -5 -5 0
DATA
# Mesa's offscreen driver keeps a few allocations to the end, as in the window tests: no leak
# check for the pictures.
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "${run[@]}" picture three -o three.png \
    --size 600 >/dev/null || fail "picture of three grains"
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "${run[@]}" picture three --view 0,180 \
    -o turned.png --size 600 >/dev/null || fail "picture turned about y"
$python - <<'EOF' || fail "the three grains are not where the camera puts them"
import math
import matplotlib.image as image
import numpy as np
picture = image.imread("three.png")
assert picture.shape[:2] == (600, 600), picture.shape
drawn = picture[:, :, :3].max(axis=2) > 0.02
# The window's camera: eye at z = 200 looking down -z, 60 degrees, positions scaled to Rapar 100;
# pixel centres at half-integers. Each grain's outline is centred on its projection.
f = 1 / math.tan(math.radians(30)) / 200
for x, y in [(5, 0), (0, 5), (-5, -5)]:
    row, col = (1 - y * 10 * f) * 300 - 0.5, (1 + x * 10 * f) * 300 - 0.5
    top, left = round(row) - 10, round(col) - 10
    rows, cols = np.nonzero(drawn[top:top + 21, left:left + 21])
    assert 10 < len(rows) < 100, (x, y, len(rows))
    assert abs(top + rows.mean() - row) < 0.5 and abs(left + cols.mean() - col) < 0.5, (x, y)
assert drawn.sum() < 100, drawn.sum()
# Half a turn about y mirrors the flat frame left to right.
turned = image.imread("turned.png")[:, :, :3].max(axis=2) > 0.02
assert (turned != drawn[:, ::-1]).sum() < 10, (turned != drawn[:, ::-1]).sum()
EOF

ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "${run[@]}" picture three --view 30 -o no.png \
    >/dev/null 2>&1
[ $? = 2 ] && [ ! -e no.png ] || fail "--view 30 (no turn about y) was not refused"

# A render with every optional result file a batch run writes, twice under one name, plotted.
printf '%s\n' 'name = "runZ"' 'frames = 1000' 'particles = 100' 'speed_distribution = true' \
    '[outputs_2d]' 'shell = true' 'pcf = true' 'potential = true' 'efield = true' >z.toml
"${run[@]}" render z.toml --out sub >/dev/null || fail "render"
"${run[@]}" render z.toml --out sub --set append=true >/dev/null || fail "appended render"
"${run[@]}" plot sub/runZ -o figures >plotted.txt 2>notes.txt || fail "plot"
$python - <<'EOF' || fail "the figures"
import matplotlib.image as image
kinds = ["data", "pcf", "shells", "field", "speeds", "2D_shells", "2D_pcf", "2D_potential",
         "2D_efield", "overview"]
made = open("plotted.txt").read().split()
assert sorted(made) == sorted(f"figures/runZ_{k}.png" for k in kinds), made
for name in made:
    picture = image.imread(name)
    assert picture.shape[:2] == ((900, 1200) if "overview" in name else (500, 800)), name
    colours = {tuple(p) for p in picture[:, :, :3].reshape(-1, 3)[::7].round(2).tolist()}
    assert len(colours) > 20, (name, len(colours))
EOF
grep -q "no sub/runZTracker.xls" notes.txt || fail "no note on the missing Tracker file"

finish "figures: picture and plots checked"
