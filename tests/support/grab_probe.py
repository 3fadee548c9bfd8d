"""Whether the application's keyboard tap is up, seen from outside: the
passive grab of Caps Lock (its switcher key) that the tap makes."""
import ctypes
import sys


class GrabProbe:
    """Whether some client holds the XInput2 passive grab of Caps Lock on the
    core keyboard that the application's keyboard tap makes: the same grab,
    tried from here, is refused while it does (and released at once when it
    is not)."""

    class EventMask(ctypes.Structure):
        _fields_ = [("deviceid", ctypes.c_int), ("mask_len", ctypes.c_int), ("mask", ctypes.POINTER(ctypes.c_ubyte))]

    class GrabModifiers(ctypes.Structure):
        _fields_ = [("modifiers", ctypes.c_int), ("status", ctypes.c_int)]

    CORE_KEYBOARD = 3  # the server's master keyboard
    ANY_MODIFIER = -(1 << 31)  # XIAnyModifier, as a C int
    MODE_ASYNC = 1
    KEY_PRESS, KEY_RELEASE = 2, 3
    CAPS_LOCK = 0xffe5

    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.xi = ctypes.CDLL("libXi.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for name in ("XDefaultRootWindow", "XKeysymToKeycode", "XSync", "XCloseDisplay"):
            getattr(self.x, name).argtypes = None
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            sys.exit("cannot open " + display)
        self.d = ctypes.c_void_p(self.display)
        self.root = ctypes.c_ulong(self.x.XDefaultRootWindow(self.d))
        self.key = self.x.XKeysymToKeycode(self.d, ctypes.c_ulong(self.CAPS_LOCK))
        self.bits = (ctypes.c_ubyte * 4)()
        self.bits[0] = (1 << self.KEY_PRESS) | (1 << self.KEY_RELEASE)
        self.mask = self.EventMask(self.CORE_KEYBOARD, 4, self.bits)

    def caps_lock_grabbed(self):
        mods = self.GrabModifiers(self.ANY_MODIFIER, 0)
        failed = self.xi.XIGrabKeycode(self.d, self.CORE_KEYBOARD, self.key, self.root, self.MODE_ASYNC,
                                       self.MODE_ASYNC, 0, ctypes.byref(self.mask), 1, ctypes.byref(mods))
        if failed == 0:
            mods = self.GrabModifiers(self.ANY_MODIFIER, 0)
            self.xi.XIUngrabKeycode(self.d, self.CORE_KEYBOARD, self.key, self.root, 1, ctypes.byref(mods))
        self.x.XSync(self.d, 0)
        return failed > 0

    def close(self):
        if self.display:
            self.x.XCloseDisplay(self.d)
            self.display = None
