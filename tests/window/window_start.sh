#!/usr/bin/env bash
# The program opens its 900x900 window titled "Quorvex v1.0", and ends cleanly (exit status 0,
# through the toolkit's exit path) when the window is closed. Brings its own X server.
# Usage: window_start.sh <quorvex binary>
set -u
source "$(dirname "$0")/window_lib.bash" || exit 1
in_own_x_server 240 "$@"

# Asks window $1 to close the way a window manager does (WM_DELETE_WINDOW).
close_window() {
    python3 - "$1" << 'PY'
import ctypes as c, sys
x = c.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = c.c_void_p
x.XOpenDisplay.argtypes = [c.c_char_p]
x.XInternAtom.restype = c.c_ulong
x.XInternAtom.argtypes = [c.c_void_p, c.c_char_p, c.c_int]
class Message(c.Structure):  # XClientMessageEvent, padded to the size of an XEvent
    _fields_ = [("type", c.c_int), ("serial", c.c_ulong), ("send_event", c.c_int),
                ("display", c.c_void_p), ("window", c.c_ulong), ("message_type", c.c_ulong),
                ("format", c.c_int), ("data", c.c_long * 5), ("pad", c.c_long * 12)]
x.XSendEvent.argtypes = [c.c_void_p, c.c_ulong, c.c_int, c.c_long, c.POINTER(Message)]
x.XFlush.argtypes = x.XCloseDisplay.argtypes = [c.c_void_p]
d = x.XOpenDisplay(None) or sys.exit("cannot open the display")
m = Message(type=33, window=int(sys.argv[1]), format=32)  # 33: ClientMessage
m.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
m.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(d, m.window, 0, 0, c.byref(m))
x.XFlush(d)
x.XCloseDisplay(d)
PY
}

# The default set's physics with far more frames than the test lasts (the default render itself
# can end within a second), so that the window is closed while the main loop runs.
printf '1\n0\nwindowstart\n13\n100\n276\n1000000\n300\n500\n10000\n25\n20\n1\n1.0\n0\n' > answers
start_with_window 30
eval "$(retry xdotool getwindowgeometry --shell "$wid" 2> /dev/null)"
[ "${WIDTH:-0}x${HEIGHT:-0}" = 900x900 ] || fail "window is ${WIDTH:-?}x${HEIGHT:-?}, not 900x900"

sleep 1
running || fail "the program ended before its window was closed"
retry close_window "$wid" || fail "could not send the close request"
wait_for_exit 60 || fail "the program did not end within 60 s of closing its window"
[ "$status" -eq 0 ] || fail "exit status $status after closing the window"
grep -qiE 'segmentation|abort|fatal' err.txt && fail "errors on closing"
echo "PASS: the window opened and the program ended with status 0 when it was closed"
