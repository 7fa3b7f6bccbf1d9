#!/usr/bin/python3
"""Keeps the ICCCM WM_STATE property of the top-level windows on an X
display that has no window manager, as a window manager would: Normal once
a window is mapped, none once it is unmapped. Nothing else: no frames, no
moves, no focus.

Wine waits for a window manager to acknowledge a map before it hides the
window again, up to two seconds per hide; on a bare Xvfb every closed
window and message box cost that much. Runs until the display goes away.

    scripts/wm-state.py            (the display of $DISPLAY)
"""

import ctypes
import ctypes.util
import sys

MAP_NOTIFY = 19
UNMAP_NOTIFY = 18
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
NORMAL_STATE = 1
PROP_MODE_REPLACE = 0


class StructureEvent(ctypes.Structure):
    """The common head of XMapEvent and XUnmapEvent; `flag` is
    override_redirect in a map and from_configure in an unmap."""
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong), ("flag", ctypes.c_int)]


class Event(ctypes.Union):
    _fields_ = [("structure", StructureEvent), ("pad", ctypes.c_long * 24)]


def wm_state_value(event_type, override_redirect):
    """The WM_STATE a top-level window gets for a map or unmap event: the
    state (Normal), None to remove the property, or False to leave the
    window alone (an override-redirect window has no window manager)."""
    if event_type == MAP_NOTIFY:
        return False if override_redirect else NORMAL_STATE
    if event_type == UNMAP_NOTIFY:
        return None
    return False


def main():
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(Event)]
    xlib.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong,
                                     ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_void_p, ctypes.c_int]
    xlib.XDeleteProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
    xlib.XFlush.argtypes = [ctypes.c_void_p]

    # A window may be gone by the time its property is set: such errors are
    # expected and must not end the program, as Xlib's default handler would.
    handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
    ignore_errors = handler_type(lambda display, error: 0)
    xlib.XSetErrorHandler(ignore_errors)

    display = xlib.XOpenDisplay(None)
    if not display:
        print("wm-state: cannot open the display", file=sys.stderr)
        return 1
    root = xlib.XDefaultRootWindow(display)
    wm_state = xlib.XInternAtom(display, b"WM_STATE", 0)
    xlib.XSelectInput(display, root, SUBSTRUCTURE_NOTIFY_MASK)
    xlib.XFlush(display)
    event = Event()
    state = (ctypes.c_long * 2)(NORMAL_STATE, 0)  # the state, no icon window
    while True:
        # Blocks; when the server goes away Xlib's I/O error handler ends us.
        xlib.XNextEvent(display, ctypes.byref(event))
        head = event.structure
        # Only the root's direct children: Wine's top-level windows.
        if head.event != root:
            continue
        value = wm_state_value(head.type, head.flag)
        if value is False:
            continue
        if value is None:
            xlib.XDeleteProperty(display, head.window, wm_state)
        else:
            xlib.XChangeProperty(display, head.window, wm_state, wm_state, 32,
                                 PROP_MODE_REPLACE, state, 2)
        xlib.XFlush(display)


if __name__ == "__main__":
    sys.exit(main())
