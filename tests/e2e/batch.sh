#!/usr/bin/env bash
# The batch commands against the dialogue: render, continue and a sweep give the files the piped
# dialogue gives, byte for byte; configuration errors give their messages (tests/golden/batch/),
# status 2 and no files; an interrupted render stops cleanly and continues; the installed program
# runs from any folder. QUORVEX_UPDATE_GOLDEN=1 rewrites the golden transcripts.
# Usage: batch.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"
root=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../..")
golden=$root/tests/golden/batch
export QUORVEX_HEADLESS=1
cd "$work"

# The program under a time limit: a fault that makes it wait forever fails the check instead of
# holding up the whole suite. timeout passes SIGINT and SIGTERM on to it.
run=(timeout -k 5 60 "$program")

# same_files A B: every file of folder A is in B with the same bytes.
same_files() {
    local f
    for f in "$1"/*; do
        cmp -s "$f" "$2/$(basename "$f")" || fail "$2/$(basename "$f") differs from $f"
    done
}
check_golden() {  # check_golden NAME FILE
    if [ "${QUORVEX_UPDATE_GOLDEN:-0}" = 1 ]; then
        mkdir -p "$golden" && cp "$2" "$golden/$1"
    else
        diff -u "$golden/$1" "$2" >&2 || fail "$1 differs from its golden transcript"
    fi
}

# The default configuration is run mode 4; its resolved configuration renders the same again.
mkdir dialogue
(cd dialogue && printf '4\n0\nrunA\n' | "${run[@]}" >/dev/null) || fail "run mode 4"
"${run[@]}" render "$root/examples/default.toml" --out batch >/dev/null || fail "render"
same_files dialogue batch
"${run[@]}" render batch/runAConfig.toml --out again >/dev/null || fail "render resolved"
for f in dialogue/*; do cmp -s "$f" "again/$(basename "$f")" || fail "again: $f"; done

# Continue from stored frame 4000 with a new temperature; the dialogue given the same answers.
cat >cont.toml <<'EOF'
from = "batch/runA"
frame = 4000
temperature = 150
frames = 120
write_every = 10
analyse_every = 30
step_multiplier = 0.5
name = "more"
EOF
"${run[@]}" continue cont.toml --out cbatch >/dev/null || fail "continue"
# The earliest frame with a stored frame before it.
"${run[@]}" continue cont.toml --set frame=50 --set name=edge --out edge >/dev/null ||
    fail "continue from frame 50 (write interval 25)"
mkdir cdialogue
(cd cdialogue && printf '3\n0\n../batch/runA\n1\n4000\n0\ny\n150\n120\n10\n30\n0.5\nmore\n' |
    "${run[@]}" >/dev/null) || fail "continue dialogue"
same_files cdialogue cbatch

# A 2 x 2 sweep, two runs at a time: each folder as its own render, one summary row each.
cat >small.toml <<'EOF'
name = "s"
particles = 30
dead_particles = 3
frames = 200
write_every = 20
EOF
"${run[@]}" sweep small.toml --vary coupling=200,800 --vary seed=1,2 --jobs 2 --out sweep \
    >/dev/null || fail "sweep"
[ "$(cut -f1,2,4,5 sweep/sweep.tsv | tr '\t\n' ' ')" = \
    "coupling seed status frames 200 1 done 200 200 2 done 200 800 1 done 200 800 2 done 200 " ] ||
    fail "sweep table: $(cat sweep/sweep.tsv)"
mkdir single
(cd single && printf '1\n0\ns\n2\n3\n30\n200\n300\n800\n10000\n20\n20\n1\n1.0\n0\n' |
    "${run[@]}" >/dev/null) || fail "run mode 1"
same_files single sweep/coupling-800_seed-2

# Into a file the progress is a line at every tenth, then the summary line.
"${run[@]}" render small.toml --out tenths >tenths.txt
[ "$(sed -n 's/^s: *\([0-9]*\)% (\([0-9]*\) of 200 steps.*/\1:\2/p' tenths.txt | tr '\n' ' ')" = \
    "10:20 20:40 30:60 40:80 50:100 60:120 70:140 80:160 90:180 100:200 " ] ||
    fail "progress lines: $(cat tenths.txt)"

# The thread count: --threads, else QUORVEX_THREADS.
QUORVEX_THREADS=3 "${run[@]}" render small.toml --threads 1 --out th1 | grep -q "on 1 thread;" ||
    fail "--threads 1"
QUORVEX_THREADS=3 "${run[@]}" render small.toml --out th3 | grep -q "on 3 threads;" ||
    fail "QUORVEX_THREADS=3"

# Configuration errors, one a line: arguments | file contents (\n for new lines). Each gives
# status 2, its message, and writes nothing (the output folder holds the data set "taken").
errors=(
    "render bad.toml|particels = 10"
    "render bad.toml|name = \"x\"\nparticles = 0"
    "render bad.toml|name = \"x\"\ndead_particles = 5\nparticles = 2147483643"
    "render bad.toml|name = \"x\"\nframes = 10"
    "render bad.toml|name = \"x\"\ncharge = 0"
    "render bad.toml|name = \"x\"\ncoupling = \"high\""
    "render bad.toml|name = \"x\"\nparticles = 1.5"
    "render bad.toml|name = \"x\"\n[cooling]\ndivisons = 3"
    "render bad.toml|name = \"x\"\ncooling_schedule = true\n[cooling]\nmax_coupling = 5"
    "render bad.toml|name = \"x\"\nmass_groups = 2\nmax_mass_fraction = 0.5\nmin_mass_fraction = 2"
    "render bad.toml|name = \"x\"\ntemperature = 1e-300"
    "render bad.toml|name = \"x\"\nstep_multiplier = 1e6"
    "render bad.toml|particles = 10"
    "render bad.toml|name = \"taken\""
    "render bad.toml|name = \"$(printf 'n%.0s' {1..240})\""
    "render bad.toml|name = = 3"
    "render bad.toml --set frames=abc|name = \"x\""
    "render bad.toml --set nme=y|name = \"x\""
    "render missing.toml|"
    "continue bad.toml|from = \"nothere\"\nname = \"y\""
    "continue bad.toml|from = \"batch/runA\"\nframe = 10\nname = \"y\""
    "continue bad.toml|from = \"batch/runA\"\nstep_multiplier = -1\nname = \"y\""
    "sweep bad.toml --vary particles=10,0|name = \"x\""
    "sweep bad.toml --vary particles|name = \"x\""
    "render|"
    "rendr bad.toml|name = \"x\""
    "render bad.toml --threads 0|name = \"x\""
)
: >errors.txt
for row in "${errors[@]}"; do
    args=${row%%|*}
    printf '%b\n' "${row#*|}" >bad.toml
    rm -rf out && mkdir out && : >out/taken
    # shellcheck disable=SC2086
    "${run[@]}" $args --out out >/dev/null 2>err.txt
    status=$?
    { echo "\$ quorvex $args"; cat err.txt; echo "status $status"; } >>errors.txt
    [ "$status" = 2 ] || fail "$args: status $status"
    [ "$(ls out)" = taken ] || fail "$args: wrote $(ls out)"
done
check_golden errors.txt errors.txt
# A valid configuration whose output folder is a file: a run failure, status 1.
"${run[@]}" render small.toml --out small.toml >/dev/null 2>err.txt
[ $? = 1 ] && grep -q "small.toml cannot be used" err.txt || fail "--out a file: $(cat err.txt)"

# Interrupted mid-render: the complete frames and the master file stay, and it continues.
"${run[@]}" render "$root/examples/default.toml" --set frames=400000 --out cut >cut.txt &
pid=$!
# Once data rows appear the steps are under way (and the signal is caught).
for _ in $(seq 100); do
    [ "$(cat cut/runAData.xls 2>/dev/null | wc -l)" -gt 3 ] && break
    sleep 0.1
done
kill -INT $pid
wait $pid
[ $? = 130 ] || fail "interrupted render: status"
grep -q "interrupted after" cut.txt || fail "interrupted render: $(cat cut.txt)"
printf 'from = "cut/runAMasterFile"\nframes = 40\nname = "on"\n' >on.toml
"${run[@]}" continue on.toml --out cut >/dev/null || fail "continue after interrupt"
# The continued run starts from the master file's second frame, the state reached.
awk 'NF == 5 && $1 == 2 { $1 = ""; print }' cut/runAMasterFile >reached.txt
awk 'NF == 5 && $1 == 1 { $1 = ""; print }' cut/on >started.txt
[ -s reached.txt ] && cmp -s reached.txt started.txt || fail "continued from another state"

# A sweep told to stop passes it on: both runs stop cleanly, and the table says so.
"${run[@]}" sweep small.toml --vary seed=1,2 --set frames=2000000 --jobs 2 --out stop >/dev/null &
pid=$!
for _ in $(seq 100); do
    under_way=0
    for n in 1 2; do
        rows=$(cat stop/seed-$n/sData.xls 2>/dev/null | wc -l)
        [ "$rows" -gt 3 ] && under_way=$((under_way + 1))
    done
    [ $under_way = 2 ] && break
    sleep 0.1
done
kill -TERM $pid
wait $pid
[ $? = 130 ] || fail "stopped sweep: status"
[ "$(cut -f3 stop/sweep.tsv | tr '\n' ' ')" = "status interrupted interrupted " ] ||
    fail "stopped sweep: $(cat stop/sweep.tsv)"

# Installed: program and examples under a prefix, run from another folder; keys and version.
if cmake --install "$(dirname "$program")" --prefix "$work/prefix" >/dev/null 2>&1; then
    mkdir elsewhere && cd elsewhere
    "$work/prefix/bin/quorvex" render "$work/prefix/share/quorvex/examples/default.toml" \
        --set frames=100 --out here >/dev/null || fail "installed render"
    [ -s here/runASummary.tsv ] || fail "installed render wrote no summary"
    cd "$work"
else
    fail "cmake --install"
fi
"${run[@]}" keys >keys.txt
check_golden keys.txt keys.txt
"${run[@]}" --version | grep -q '^quorvex [0-9]' || fail "--version"

finish "batch: render, continue, sweep, errors, interrupt and install checked"
