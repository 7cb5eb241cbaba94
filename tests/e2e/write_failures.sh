#!/usr/bin/env bash
# Renders without a window while a file cannot be written: the failure is reported once with the
# file's name and the system's reason, the render stops keeping its complete frames, the master
# file is written when it can be, and the program ends with status 1, without its farewell.
# Usage: write_failures.sh <quorvex>
set -u

source "$(dirname "${BASH_SOURCE[0]}")/e2e_lib.bash"

# Seed 13, 2 dead particles, 3 grains, 8 frames, 300 K, CCP 500, charge 10000, write and analyse
# every 4 frames, one mass, step 1.0; the speed-distribution answer follows.
small='13 2 3 8 300 500 10000 4 4 1 1.0'

# One row per failure: name | what stands in the way | answers | message | frames kept in the
# data set ("-": not checked) | master file frames ("-": not checked) | a further console line.
rows=(
    "dataset to /dev/full|ln -s /dev/full run|1 0 run y $small 0|The file run cannot be written: No space left on device|-|1 2|The render stops before frame 1 because a file could not be written."
    "Data to /dev/full|ln -s /dev/full runData.xls|1 0 run $small 0|The file runData.xls cannot be written: No space left on device||1 2|"
    "directory in the way|mkdir 'runPCF Data.xls'|1 0 run $small 0|The file runPCF Data.xls cannot be opened: Is a directory|1|1 2|The render stops before frame 2 because a file could not be written."
    "Maxboltz at exit to /dev/full|ln -s /dev/full runMaxboltz.xls|1 0 run $small 1|The file runMaxboltz.xls cannot be written: No space left on device|1 4 8|1 2|"
    "full disk|tmpfs|1 0 run 13 2 10 200 300 500 10000 1 4 1 1.0 0|cannot be written: No space left on device|1..|-|"
)

# Frame numbers of the complete frames of data set $1 with $2 slots: a frame counts once the line
# of its last slot is whole.
complete_frames() {
    head -n "$(wc -l <"$1")" "$1" |
        awk -v slots="$2" 'NF == 5 && $2 == slots { printf "%s%s", sep, $1; sep = " " }'
}

# A private 64 KiB tmpfs for the full-disk row, if this machine lets us mount one.
mount_tmpfs() {
    unshare --user --map-root-user --mount true 2>/dev/null && {
        echo unshare --user --map-root-user --mount
        return
    }
    unshare --mount true 2>/dev/null && echo unshare --mount
}
tmpfs_runner=$(mount_tmpfs)

for row in "${rows[@]}"; do
    IFS='|' read -r name prepare answers message frames master further <<<"$row"
    dir="$work/${name// /-}"
    mkdir -p "$dir/kept" && cd "$dir" || exit 1
    slots=5
    if [[ $prepare == tmpfs ]]; then
        if [[ -z $tmpfs_runner ]]; then
            echo "SKIP: $name: mounting a tmpfs is not permitted here"
            continue
        fi
        slots=12
        # The files go when the mount namespace does: copy them out before it ends.
        printf '%s\n' $answers | $tmpfs_runner bash -c \
            'mkdir fs && mount -t tmpfs -o size=64k tmpfs fs && cd fs || exit 99
             QUORVEX_HEADLESS=1 timeout 60 "$0" >../console.txt 2>&1
             status=$?; cp -r . ../kept; exit $status' "$program"
    else
        (cd kept && eval "$prepare" &&
            printf '%s\n' $answers | QUORVEX_HEADLESS=1 timeout 60 "$program" >../console.txt 2>&1)
    fi
    status=$?
    [[ $status == 1 ]] || fail "$name: exit status $status"
    grep -qF "$message" console.txt || fail "$name: no '$message'"
    reported_twice=$(grep -o '^The file .* cannot be' console.txt | sort | uniq -d)
    [[ -z $reported_twice ]] || fail "$name: reported more than once: $reported_twice"
    [[ -z $further ]] || grep -qxF "$further" console.txt || fail "$name: no '$further'"
    ! grep -q 'Have a nice day' console.txt || fail "$name: farewell of a successful run"
    grep -qxF 'Quorvex stops: not every file could be written (see above).' console.txt ||
        fail "$name: no closing line"
    [[ $frames == - ]] || kept=$(complete_frames kept/run "$slots")
    if [[ $frames == 1.. ]]; then
        # The frames up to the full disk, every one of them, then none.
        last=${kept##* }
        [[ -n $kept && $kept == "$(seq -s ' ' 1 "$last")" && $last -lt 200 ]] ||
            fail "$name: frames kept '$kept'"
    elif [[ $frames != - ]]; then
        [[ $kept == "$frames" ]] || fail "$name: frames kept '$kept', not '$frames'"
    fi
    if [[ $master != - ]]; then
        [[ $(complete_frames kept/runMasterFile "$slots") == "$master" ]] ||
            fail "$name: master file frames"
    fi
done

finish "write failure checks passed"
