# shellcheck shell=bash
# Helpers shared by the whole-program window tests (tests/window/*.sh). A test sources this
# file and calls in_own_x_server first; from then on it runs inside an X server of its own, in
# a scratch directory that is removed at the end, and the program is never left running.
#
# Set here: prog (the program under test), pid (the running program), wid (its window),
# status (its exit status, once wait_for_exit has seen it end).

pid=""
wid=""
status=""

# in_own_x_server <seconds> <quorvex binary>: runs the calling script again under a fresh
# virtual X server, bounded by <seconds>; inside that server, enters the scratch directory.
in_own_x_server() {
    local limit=$1
    [ $# -ge 2 ] || { echo "usage: $0 <quorvex binary>" >&2; exit 2; }
    prog=$(realpath "$2") && [ -x "$prog" ] || { echo "FAIL: $2 is not a program" >&2; exit 1; }
    if [ -z "${QUORVEX_TEST_IN_XVFB:-}" ]; then
        command -v xvfb-run > /dev/null || { echo "FAIL: xvfb-run is missing" >&2; exit 1; }
        command -v xdotool > /dev/null || { echo "FAIL: xdotool is missing" >&2; exit 1; }
        # A random first display number keeps back-to-back and parallel runs off each other's
        # server, and -a moves on to a free one. Without -noreset the server resets whenever its
        # last client leaves, which one of our short-lived xdotool calls can be while the
        # program is starting.
        exec env QUORVEX_TEST_IN_XVFB=1 timeout -k 10 "$limit" \
            xvfb-run -n $((200 + RANDOM % 600)) -a -s "-screen 0 1280x1024x24 -noreset" \
            bash "$0" "$prog"
    fi
    [ -n "${DISPLAY:-}" ] || { echo "FAIL: no display set by xvfb-run" >&2; exit 1; }
    work=$(mktemp -d) || { echo "FAIL: no scratch directory" >&2; exit 1; }
    trap cleanup EXIT
    # The outer timeout ends us with TERM; leave through cleanup all the same.
    trap 'exit 1' INT TERM
    cd "$work" || exit 1
}

running() { [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; }

cleanup() {
    if running; then
        kill "$pid" 2> /dev/null
        local _
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            running || break
            sleep 0.2
        done
        kill -9 "$pid" 2> /dev/null
    fi
    rm -rf "$work"
}

# Reports the failure with the end of the program's output and ends the test (the EXIT trap
# stops the program).
fail() {
    echo "FAIL: $*"
    echo "--- console output (last lines):"
    tail -n 20 out.txt 2> /dev/null
    echo "--- errors (last lines):"
    tail -n 20 err.txt 2> /dev/null
    exit 1
}

# Waits at most $1 seconds for the program's window and sets wid. Gives up at once if the
# program ends or goes on without a window.
wait_for_window() {
    local deadline=$((SECONDS + $1))
    wid=""
    while [ $SECONDS -lt $deadline ]; do
        running || return 1
        grep -q "No display available" out.txt 2> /dev/null && return 1
        wid=$(xdotool search --onlyvisible --name '^Quorvex v1\.0$' 2> /dev/null | head -n 1)
        [ -n "$wid" ] && return 0
        sleep 0.2
    done
    return 1
}

# Starts the program on the answers in ./answers (console output to out.txt, errors to
# err.txt) and waits at most $1 seconds for its window; fails the test without one.
start_with_window() {
    "$prog" < answers > out.txt 2> err.txt &
    pid=$!
    wait_for_window "$1" && return 0
    if grep -q "No display available" out.txt 2> /dev/null; then
        fail "the program found no display and went on without a window"
    fi
    running || fail "the program ended before its window appeared"
    fail "no window titled \"Quorvex v1.0\" within $1 s"
}

# Runs one of the test's own X clients (xdotool, import) again if it could not get through.
retry() {
    local _
    for _ in 1 2 3 4 5; do
        "$@" && return 0
        sleep 0.3
    done
    return 1
}

# Waits at most $1 seconds for the program to end and sets status to its exit status.
wait_for_exit() {
    local deadline=$((SECONDS + $1))
    while running; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
    wait "$pid"
    status=$?
    pid=""
    return 0
}
