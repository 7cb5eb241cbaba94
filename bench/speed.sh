#!/usr/bin/env bash
# Every speed figure of the program in one run, for one build or for two side by side:
#   - the pair kernel: unique pairs a second of the whole step at 276, 2 000 and 8 000 grains;
#   - thread use: the step on one thread and on two, and their ratio;
#   - the default render (start-up menu answer 4): the program's wall time, median of 5 runs,
#     and, from bench_render, that render with everything written against its time steps alone;
#   - the window: frames a second under Xvfb with Mesa's software GL (bench/window_fps.sh).
# Usage: bench/speed.sh [BUILD [BEFORE]]   (Release build folders; default build)
# BEFORE, an older build, is measured in the same run, each figure right after BUILD's. A figure
# whose benchmark the older build lacks shows as "-". Takes about three minutes on 2 cores; the
# figures only mean something on a machine that nothing else keeps busy.
set -u

here=$(cd "$(dirname "$0")" && pwd)
builds=("$(realpath "${1:-build}")")
[[ $# -ge 2 ]] && builds+=("$(realpath "$2")")
for b in "${builds[@]}"; do
    [[ -x $b/quorvex && -x $b/bench/bench_step ]] || { echo "no quorvex and bench_step in $b" >&2; exit 1; }
done
py=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# bench BUILD PROGRAM FILTER [ENV...]: median real times (s) and pairs/s of the benchmarks that
# match, one "name seconds pairs_per_second" line each.
bench() {
    local build=$1 program=$2 filter=$3
    shift 3
    [[ -x $build/bench/$program ]] || return 0
    env "$@" "$build/bench/$program" --benchmark_filter="$filter" --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true --benchmark_out="$work/bench.json" \
        --benchmark_out_format=json >/dev/null 2>&1
    "$py" - "$work/bench.json" <<'PY'
import json, sys
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        name = b["run_name"].replace("/real_time", "").replace("/manual_time", "")
        print(name, b["real_time"] * scale[b["time_unit"]], b.get("pairs/s", 0))
PY
}

# The default render piped in, in a folder of its own: wall seconds, median of 5.
render_seconds() {
    local program=$1/quorvex times=()
    for _ in 1 2 3 4 5; do
        rm -rf "$work/render" && mkdir -p "$work/render" && cd "$work/render" || exit 1
        local start end
        start=$(date +%s.%N)
        printf '4\n0\nrun1\n' | QUORVEX_HEADLESS=1 "$program" >console.txt 2>&1
        end=$(date +%s.%N)
        grep -q 'Have a nice day' console.txt || { echo "the default render failed with $program" >&2; exit 1; }
        times+=("$(awk "BEGIN { print $end - $start }")")
        cd "$work" || exit 1
    done
    printf '%s\n' "${times[@]}" | sort -g | sed -n 3p
}

declare -A fig
for i in "${!builds[@]}"; do
    b=${builds[$i]}
    for t in 1 2; do
        while read -r name seconds pairs; do
            fig[$i,step,$t,${name#BM_TimeStepOnce/}]=$seconds
            fig[$i,pairs,$t,${name#BM_TimeStepOnce/}]=$pairs
        done < <(bench "$b" bench_step '^BM_TimeStepOnce/' QUORVEX_THREADS=$t)
    done
    fig[$i,render]=$(render_seconds "$b")
    while read -r name seconds _; do
        case $name in
            *everything_written*) fig[$i,written]=$seconds ;;
            *time_steps_alone*) fig[$i,alone]=$seconds ;;
        esac
    done < <(bench "$b" bench_render '.')
done

# row LABEL KEY FORMAT TARGET: the figure of every build, "-" where there is none.
row() {
    local label=$1 key=$2 format=$3 target=$4 line
    line=$(printf '%-44s' "$label")
    for i in "${!builds[@]}"; do
        local v=${fig[$i,$key]:-}
        if [[ -n $v && $v != 0 ]]; then line+=$(printf "%14s" "$(awk "BEGIN { printf \"$format\", $v }")")
        else line+=$(printf '%14s' -); fi
    done
    echo "$line   $target"
}
ratio() {  # KEY NUMERATOR DENOMINATOR
    for i in "${!builds[@]}"; do
        local a=${fig[$i,$2]:-} c=${fig[$i,$3]:-}
        [[ -n $a && -n $c && $c != 0 ]] && fig[$i,$1]=$(awk "BEGIN { print $a / $c }")
    done
}

header=$(printf '%-44s' figure)
for i in "${!builds[@]}"; do header+=$(printf '%14s' "$([[ $i == 0 ]] && echo build || echo before)"); done
echo "$header   target"
for n in 276 2000 8000; do
    row "pair kernel, $n grains, 2 threads (pairs/s)" "pairs,2,$n" '%.3g' "$([[ $n -ge 2000 ]] && echo '>= 2e9')"
done
for n in 276 2000 8000; do
    for i in "${!builds[@]}"; do
        for t in 1 2; do
            [[ -n ${fig[$i,step,$t,$n]:-} ]] && fig[$i,ms,$t,$n]=$(awk "BEGIN { print ${fig[$i,step,$t,$n]} * 1000 }")
        done
    done
    row "step, $n grains, 1 thread (ms)" "ms,1,$n" '%.4g' ''
    row "step, $n grains, 2 threads (ms)" "ms,2,$n" '%.4g' ''
    ratio "gain,$n" "ms,1,$n" "ms,2,$n"
    row "  2 threads' speed-up over 1" "gain,$n" '%.2f' '>= 1'
done
row "default render, program, median of 5 (s)" render '%.3f' '<= 0.3'
row "default render, everything written (s)" written '%.3f' ''
row "default render, its time steps alone (s)" alone '%.3f' ''
ratio overhead written alone
row "  everything written / steps alone" overhead '%.2f' '<= 1.3'

# The window last: it brings its own X server.
programs=()
for b in "${builds[@]}"; do programs+=("$b/quorvex"); done
if [[ -x $here/window_fps.sh ]]; then
    SWAPCOUNT_LIB=${SWAPCOUNT_LIB:-${builds[0]}/bench/libswapcount.so} "$here/window_fps.sh" "${programs[@]}"
fi
