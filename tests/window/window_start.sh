#!/usr/bin/env bash
# The program opens its 900x900 window titled "Quorvex v1.0", and ends cleanly (exit status 0,
# through the toolkit's exit path) when the window is closed. Brings its own X server.
# Usage: window_start.sh <quorvex binary>
set -u
prog=$(realpath "$1")

if [ -z "${QUORVEX_TEST_IN_XVFB:-}" ]; then
    # A random first display number keeps back-to-back and parallel runs off each other's server.
    exec env QUORVEX_TEST_IN_XVFB=1 timeout -k 10 240 \
        xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1280x1024x24" bash "$0" "$prog"
fi

work=$(mktemp -d)
pid=""
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -9 "$pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

fail() {
    echo "FAIL: $*"
    echo "--- console output (last lines):"
    tail -n 20 out.txt 2>/dev/null
    echo "--- errors (last lines):"
    tail -n 20 err.txt 2>/dev/null
    exit 1
}

# Prints the id of the program's window, waiting at most $1 seconds for it.
wait_for_window() {
    local deadline=$((SECONDS + $1)) id
    while [ $SECONDS -lt $deadline ]; do
        kill -0 "$pid" 2>/dev/null || return 1
        # It fell back to running without a window: the display did not answer in time.
        grep -q "No display available" out.txt 2>/dev/null && return 1
        id=$(xdotool search --name '^Quorvex v1\.0$' 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# Starts the program on `answers` and waits for its window. A busy X server sometimes refuses a
# new connection (EAGAIN), and the program then stops or runs without a window; only that case
# is tried again.
start_with_window() {
    local try
    for try in 1 2 3; do
        "$prog" < answers > out.txt 2> err.txt &
        pid=$!
        if wid=$(wait_for_window 30); then return 0; fi
        grep -q -e "failed to open display" -e "No display available" out.txt err.txt ||
            return 1
        echo "the X server refused the program's connection (try $try), starting again"
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        pid=""
        sleep 1
    done
    return 1
}

# X clients of the test get the same second chances.
retry() {
    local try
    for try in 1 2 3 4 5; do
        "$@" && return 0
        sleep 0.3
    done
    return 1
}

# Asks the window to close the way a window manager does (WM_DELETE_WINDOW).
close_window() {
    python3 - "$1" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(Event)]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
d = x.XOpenDisplay(None)
if not d:
    sys.exit("cannot open the display")
window = int(sys.argv[1])
ev = Event()
ev.xclient.type = 33  # ClientMessage
ev.xclient.window = window
ev.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
ev.xclient.format = 32
ev.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(d, window, 0, 0, ctypes.byref(ev))
x.XFlush(d)
x.XCloseDisplay(d)
PY
}

# Waits at most $1 seconds for the program to end; its exit status goes to $status.
wait_for_exit() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$pid" 2>/dev/null; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
    wait "$pid"
    status=$?
    pid=""
    return 0
}

# A default render, so that the window is closed while the main loop runs.
printf '4\n0\nwindowstart\n' > answers
start_with_window || fail "no window titled \"Quorvex v1.0\" within 30 s"
title=$(retry xdotool getwindowname "$wid" 2>/dev/null)
[ "$title" = "Quorvex v1.0" ] || fail "wrong window title \"$title\""
eval "$(retry xdotool getwindowgeometry --shell "$wid" 2>/dev/null)"
[ "${WIDTH:-0}x${HEIGHT:-0}" = "900x900" ] || fail "window is ${WIDTH:-?}x${HEIGHT:-?}, not 900x900"
echo "window $wid \"Quorvex v1.0\" ${WIDTH}x${HEIGHT} is open"

sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended before its window was closed"
retry close_window "$wid" || fail "could not send the close request"
wait_for_exit 60 || fail "the program did not end within 60 s of closing its window"
[ "$status" -eq 0 ] || fail "exit status $status after closing the window"
if grep -qi -E 'segmentation|abort|fatal' err.txt; then fail "errors on closing"; fi
echo "PASS: the window opened and the program ended with status 0 when it was closed"
