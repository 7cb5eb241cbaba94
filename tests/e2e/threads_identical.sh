#!/usr/bin/env bash
# The same render with 1, 2 and 3 threads writes the same bytes: every file and the console.
# 500 grains make several blocks of pairs. Usage: threads_identical.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"
# Menu 1, no automation, name "run", seed 13, 2 dead particles, 500 grains, 300 frames, 300 K,
# CCP 500, charge 10000, write every 10, analyse every 100, one mass, step 1.0, speed files.
answers='1 0 run 13 2 500 300 300 500 10000 10 100 1 1.0 1'

for threads in 1 2 3; do
    mkdir "$work/$threads" && cd "$work/$threads" || exit 1
    # OpenMP's variable too, in case a loop ever takes its count from there.
    printf '%s\n' $answers | QUORVEX_HEADLESS=1 QUORVEX_THREADS=$threads OMP_NUM_THREADS=$threads \
        timeout 300 "$program" >console.txt 2>&1 || { echo "FAIL: $threads threads: exit $?"; exit 1; }
done
[[ $(ls "$work/1" | wc -l) -ge 10 ]] || { echo "FAIL: files missing: $(ls "$work/1")"; exit 1; }
diff -r "$work/1" "$work/2" >/dev/null && diff -r "$work/1" "$work/3" >/dev/null || {
    diff -rq "$work/1" "$work/2"
    diff -rq "$work/1" "$work/3"
    echo "FAIL: the files depend on the thread count"
    exit 1
}
echo "the same bytes with 1, 2 and 3 threads"
