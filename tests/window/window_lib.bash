# shellcheck shell=bash
# Helpers of the whole-program window tests (tests/window/*.sh). A test sources this file and
# calls in_own_x_server first; from then on it runs inside an X server of its own, in a scratch
# directory removed at the end, and the program is never left running.
# Set here: prog (the program), pid (while it runs), wid (its window), status (its exit status).
pid="" wid="" status=""

# in_own_x_server <seconds> <quorvex binary>: runs the calling script again under a fresh virtual
# X server, bounded by <seconds>, and inside it enters the scratch directory.
in_own_x_server() {
    [ $# -ge 2 ] || { echo "usage: $0 <quorvex binary>" >&2; exit 2; }
    prog=$(realpath "$2" 2> /dev/null)
    [ -x "$prog" ] || { echo "FAIL: $2 is not a program" >&2; exit 1; }
    if [ -z "${QUORVEX_TEST_IN_XVFB:-}" ]; then
        for tool in xvfb-run xdotool; do
            command -v $tool > /dev/null || { echo "FAIL: $tool is missing" >&2; exit 1; }
        done
        # A random first display keeps parallel runs apart (-a moves on to a free one). Without
        # -noreset the server resets when its last client leaves, which one of our short-lived
        # xdotool calls can be while the program is starting.
        exec env QUORVEX_TEST_IN_XVFB=1 timeout -k 10 "$1" xvfb-run -n $((200 + RANDOM % 600)) \
            -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$prog"
    fi
    work=$(mktemp -d) || { echo "FAIL: no scratch directory" >&2; exit 1; }
    cd "$work" || exit 1
    trap cleanup EXIT
    trap 'exit 1' INT TERM  # the outer timeout: leave through cleanup all the same
}

running() { [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; }

cleanup() {
    if running; then
        kill "$pid" 2> /dev/null
        sleep 2
        kill -9 "$pid" 2> /dev/null
    fi
    rm -rf "$work"
}

# Reports the failure with the end of the program's output and ends the test.
fail() {
    echo "FAIL: $*"
    for f in out.txt err.txt; do echo "--- $f (last lines):" && tail -n 20 $f 2> /dev/null; done
    exit 1
}

# Runs one of the test's own X clients again if it could not get through.
retry() {
    for _ in 1 2 3 4 5; do "$@" && return 0; sleep 0.3; done
    return 1
}

# Starts the program on the answers in ./answers and waits at most $1 seconds for its window
# titled "Quorvex v1.0"; sets wid, or fails the test.
start_with_window() {
    "$prog" < answers > out.txt 2> err.txt &
    pid=$!
    local deadline=$((SECONDS + $1))
    while [ $SECONDS -lt $deadline ]; do
        grep -qs "No display available" out.txt && fail "the program went on without a window"
        running || fail "the program ended before its window appeared"
        wid=$(xdotool search --onlyvisible --name '^Quorvex v1\.0$' 2> /dev/null | head -n 1)
        [ -n "$wid" ] && return 0
        sleep 0.2
    done
    fail "no window titled \"Quorvex v1.0\" within $1 s"
}

# Waits at most $1 seconds for the program to end and sets status to its exit status.
wait_for_exit() {
    local deadline=$((SECONDS + $1))
    while running; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
    wait "$pid"
    status=$? pid=""
}
