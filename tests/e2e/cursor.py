#!/usr/bin/python3
"""Reads mouse cursors off the X display through the XFixes extension.

cursor.py        the cursor shown at this moment where the pointer is
cursor.py busy   the display's busy cursor, found as a toolkit finds it (the cursor theme's "wait" or
                 "watch", else the core cursor font's watch), shown for two seconds under the pointer:
                 one line for each picture of it seen (a themed busy cursor is animated)

Each line gives a cursor's size, hot spot and a digest of its pixels ("24x24+11+11 43a81f17"), so that
readings can be compared. Exit status 1 when the display or the extension cannot be used."""
import ctypes
import ctypes.util
import hashlib
import sys
import time

XC_WATCH = 150  # the watch in the core cursor font


class CursorImage(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_short),
        ("y", ctypes.c_short),
        ("width", ctypes.c_ushort),
        ("height", ctypes.c_ushort),
        ("xhot", ctypes.c_ushort),
        ("yhot", ctypes.c_ushort),
        ("cursor_serial", ctypes.c_ulong),
        ("pixels", ctypes.POINTER(ctypes.c_ulong)),  # one ARGB value in each unsigned long
        ("atom", ctypes.c_ulong),
        ("name", ctypes.c_char_p),
    ]


def library(name, soname):
    try:
        return ctypes.CDLL(ctypes.util.find_library(name) or soname)
    except OSError:
        return None


x11 = library("X11", "libX11.so.6")
xfixes = library("Xfixes", "libXfixes.so.3")
xcursor = library("Xcursor", "libXcursor.so.1")  # themed cursors; without it the cursor font serves
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
for f in ("XCloseDisplay", "XFree", "XSync", "XDefaultRootWindow", "XCreateFontCursor", "XCreateSimpleWindow",
          "XDefineCursor", "XMapRaised", "XDestroyWindow", "XQueryPointer"):
    getattr(x11, f).restype = ctypes.c_ulong
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
x11.XFree.argtypes = [ctypes.c_void_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XCreateFontCursor.argtypes = [ctypes.c_void_p, ctypes.c_uint]
x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                    ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
x11.XDefineCursor.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
x11.XMapRaised.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XQueryPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.POINTER(ctypes.c_ulong)] * 2 + [
    ctypes.POINTER(ctypes.c_int)] * 4 + [ctypes.POINTER(ctypes.c_uint)]
if xcursor:
    xcursor.XcursorLibraryLoadCursor.restype = ctypes.c_ulong
    xcursor.XcursorLibraryLoadCursor.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
if xfixes:
    xfixes.XFixesQueryExtension.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 2
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]


def shown(display):
    image = xfixes.XFixesGetCursorImage(display)
    if not image:
        return None
    c = image.contents
    pixels = b"".join((c.pixels[i] & 0xFFFFFFFF).to_bytes(4, "little") for i in range(c.width * c.height))
    text = f"{c.width}x{c.height}+{c.xhot}+{c.yhot} {hashlib.sha1(pixels).hexdigest()[:8]}"
    x11.XFree(image)
    return text


def busy(display):
    cursor = 0
    for name in (b"wait", b"watch"):
        if xcursor and not cursor:
            cursor = xcursor.XcursorLibraryLoadCursor(display, name)
    if not cursor:
        cursor = x11.XCreateFontCursor(display, XC_WATCH)
    root = x11.XDefaultRootWindow(display)
    r, child = ctypes.c_ulong(), ctypes.c_ulong()
    rx, ry, wx, wy, mask = ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_uint()
    x11.XQueryPointer(display, root, r, child, rx, ry, wx, wy, mask)
    window = x11.XCreateSimpleWindow(display, root, rx.value - 2, ry.value - 2, 5, 5, 0, 0, 0)
    x11.XDefineCursor(display, window, cursor)
    x11.XMapRaised(display, window)
    x11.XSync(display, 0)
    time.sleep(0.1)
    pictures = []
    for _ in range(200):
        picture = shown(display)
        if picture and picture not in pictures:
            pictures.append(picture)
        time.sleep(0.01)
    text = "\n".join(pictures)
    x11.XDestroyWindow(display, window)
    x11.XSync(display, 0)
    return text


def main():
    display = x11.XOpenDisplay(None)
    if not display or not xfixes:
        print("cursor.py: no display, or no XFixes library", file=sys.stderr)
        return 1
    base, error = ctypes.c_int(), ctypes.c_int()
    if not xfixes.XFixesQueryExtension(display, base, error):
        print("cursor.py: the display has no XFixes extension", file=sys.stderr)
        return 1
    text = busy(display) if sys.argv[1:] == ["busy"] else shown(display)
    x11.XCloseDisplay(display)
    if not text:
        print("cursor.py: no cursor image", file=sys.stderr)
        return 1
    print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
