#!/usr/bin/env bash
# Whole scripted sessions without a window, compared byte for byte with tests/golden/sessions/:
# the console (stdout and stderr) with the exit status as its last line, and every file the
# session wrote. Files over $big bytes are kept as a checksum in SHA256SUMS and their first
# lines in <name>.head. QUORVEX_UPDATE_GOLDEN=1 rewrites the golden folders instead.
# Usage: sessions.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"
golden=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../golden")/sessions
big=24576

# One row per session, run in this order in its own folder: name | commands that prepare the
# folder (run inside it; files they make are input, not output; headless=0 drops the headless
# switch) | answers, one a line (\001 is a control character).
rows=(
    # Two masses, speed files, several stored frames and analyses.
    "render||1 0 run 7 3 30 80 300 500 10000 10 20 2 2.0 0.5 1.0 1"
    # The PCF and E-field 2D outputs first; then a frame without one before it, and 80; EndFrame
    # 9; a temperature at which grains reach the wall; 40 frames more.
    "continue|cp ../render/run .|5 0 1 0 1 3 0 run 1 5 80 9 y 2000000 40 10 20 1.0 more"
    # The header says 2 dead particles where 3 wait: 5 are chosen; then the cooling schedule,
    # with a wrong mode before Max-Min-Max.
    "continue-dead|sed '1s/ 3\$/ 2/' ../render/run >run|3 1 run 1 80 0 5 n 0 1 0 2 1 0 1 1e-320 1e300 0.5 cont 600 300 3 10 3 2"
    # The same header, answered with no dead particles at all after two refused counts; the run
    # writes only its first and last frame.
    "continue-nodead|sed '1s/ 3\$/ 2/' ../render/run >run|3 0 run 1 80 0 -1 33 0 n 10 10 10 1.0 cont"
    # A missing file, a cut header, then a frame line cut short after 5 stored frames: frame 80 is
    # beyond them, 50 is not.
    "broken|head -c 20 ../render/run >badhead; sed '220s/ [^ ]*\$//' ../render/run >cut|3 0 missing badhead cut 1 80 0 50 n 20 10 20 1.0 fixed"
    "defaults||4 0 def"
    # The shell and potential 2D outputs (the others are chosen above), then a render of three
    # masses.
    "outputs2d||5 1 0 1 0 1 0 flat 3 1 20 40 300 500 10000 10 20 3 2.0 0.5 1.0 0"
    # No display at all rather than the headless switch: crystal viewing is refused, then a small
    # render of 3 grains and 2 dead particles, frames 1, 4 and 8 stored. Later rows keep no display.
    "nodisplay|headless=0; unset DISPLAY|6 1 0 run 13 2 3 8 300 500 10000 4 4 1 1.0 0"
    # Refused answers at the menu and in the dialogue, each bound refused and the largest answers
    # taken, a name that exists, masses asked again, a step too long for the set-up; the input
    # ends while the questions are asked again.
    "refusals|touch taken|x 7 0 2 6 1 2 0 \\001 taken n taken free abc 3 -1 2147483647 2 0 2147483646 2147483645 0 2147483647 2147483646 0 0.5 1 1.5 0 10000 0 2147483647 2147483646 0 1 0 11 5 0 0.5 2 2 0.5 0 1e9 0 4"
    # The smallest answers taken: one grain, every frame written and analysed, one mass; a Max to
    # Min cooling schedule of two divisions of two steps after refused bounds. The run's own seed
    # replaces the environment's.
    "bounds|export GSL_RNG_SEED=987654|1 1 tiny 1 0 1 1 300 500 10000 1 1 1 1.0 1 0 50 0 0.5 1 2 1 2 3 1"
)

# The comparable copy of folder $1 in $2: files not in $1.before, or changed since.
collect() {
    local from=$1 to=$2 name
    mkdir -p "$to"
    (cd "$from" && find . -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort) | while IFS= read -r name; do
        cmp -s "$from/$name" "$from.before/$name" && continue
        if (($(stat -c %s "$from/$name") > big)); then
            (cd "$from" && sha256sum -- "$name") >>"$to/SHA256SUMS"
            head -n 30 "$from/$name" | head -c 4096 >"$to/$name.head"
        else
            cp -- "$from/$name" "$to/$name"
        fi
    done
}

for row in "${rows[@]}"; do
    IFS='|' read -r name prepare answers <<<"$row"
    dir="$work/$name"
    mkdir "$dir" && cd "$dir" || exit 1
    headless=1
    eval "$prepare" || fail "$name: cannot prepare"
    cp -r . "$dir.before"
    # Each session takes a second or two, even under the sanitizers; one that hangs ends the test.
    printf '%b\n' $answers | QUORVEX_HEADLESS=$headless timeout 60 "$program" >"$work/$name.console" 2>&1
    status=$?
    ((status == 124)) && { fail "session $name: still running after 60 s"; break; }
    echo "exit status $status" >>"$work/$name.console"
    actual=$work/actual/$name
    collect "$dir" "$actual"
    # The console text holds no path, time or thread count: it is compared as written.
    if (($(stat -c %s "$work/$name.console") > big)); then
        (cd "$work" && sha256sum "$name.console" | sed 's/ .*/  console.txt/') >>"$actual/SHA256SUMS"
        head -n 60 "$work/$name.console" | head -c 4096 >"$actual/console.txt.head"
    else
        cp "$work/$name.console" "$actual/console.txt"
    fi
    if [[ ${QUORVEX_UPDATE_GOLDEN:-} == 1 ]]; then
        rm -rf "${golden:?}/$name" && mkdir -p "$golden" && cp -r "$actual" "$golden/$name"
        continue
    fi
    # Beside the actual folder, so that the diff shows short names.
    mkdir -p "$work/expected" && cp -r "$golden/$name" "$work/expected/" 2>/dev/null
    cd "$work" || exit 1
    if ! diff -r "expected/$name" "actual/$name" >/dev/null 2>&1; then
        fail "session $name: $(diff -rq "expected/$name" "actual/$name" 2>&1 |
            sed -e "s|^Files expected/$name/\(.*\) and .* differ|\1 differs|" \
                -e "s|^Only in expected/$name: |missing |" -e "s|^Only in actual/$name: |new |" |
            paste -sd ',' -)"
        # Squeezed backspaces and visible control characters keep the diff readable.
        diff -ru "expected/$name" "actual/$name" 2>&1 | head -n 40 | tr -s '\b' | cat -v
    fi
done

finish "every session matches its golden transcript and files"
