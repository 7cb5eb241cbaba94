#!/usr/bin/env bash
# The program opens its 900x900 window titled "Quorvex v1.0", and ends cleanly (exit status 0,
# through the toolkit's exit path) when the window is closed. Brings its own X server.
# Usage: window_start.sh <quorvex binary>
set -u
source "$(dirname "$0")/window_lib.bash" || exit 1
in_own_x_server 240 "$@"

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

# A default render, so that the window is closed while the main loop runs.
printf '4\n0\nwindowstart\n' > answers
start_with_window 30
title=$(retry xdotool getwindowname "$wid" 2>/dev/null)
[ "$title" = "Quorvex v1.0" ] || fail "wrong window title \"$title\""
eval "$(retry xdotool getwindowgeometry --shell "$wid" 2>/dev/null)"
[ "${WIDTH:-0}x${HEIGHT:-0}" = "900x900" ] || fail "window is ${WIDTH:-?}x${HEIGHT:-?}, not 900x900"
echo "window $wid \"Quorvex v1.0\" ${WIDTH}x${HEIGHT} is open"

sleep 1
running || fail "the program ended before its window was closed"
retry close_window "$wid" || fail "could not send the close request"
wait_for_exit 60 || fail "the program did not end within 60 s of closing its window"
[ "$status" -eq 0 ] || fail "exit status $status after closing the window"
if grep -qi -E 'segmentation|abort|fatal' err.txt; then fail "errors on closing"; fi
echo "PASS: the window opened and the program ended with status 0 when it was closed"
