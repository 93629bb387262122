# grab_area.py FILE X Y W H: that area of the X screen, and no more, as a PPM
# picture; the end-to-end cases poll small areas of a large screen with it.
# grab_series.py reads many areas in a row through the same functions.
import ctypes, sys


class XImage(ctypes.Structure):
    _fields_ = [(n, ctypes.c_int) for n in ("width", "height", "xoffset", "format")] + \
        [("data", ctypes.c_void_p)] + [(n, ctypes.c_int) for n in (
            "byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad", "depth",
            "bytes_per_line", "bits_per_pixel")]


x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XGetImage.restype = ctypes.POINTER(XImage)


def open_display():
    return x11.XOpenDisplay(None)


def grab(display, x, y, w, h):
    """The area's pixels as rows of R, G, B bytes, or None."""
    image = x11.XGetImage(display, x11.XDefaultRootWindow(display), x, y, w, h, 0xFFFFFFFF, 2) \
        if display else None
    if not image or image.contents.bits_per_pixel != 32:
        return None
    rows = ctypes.string_at(image.contents.data, image.contents.bytes_per_line * h)
    pixels = bytearray(3 * w * h)
    for row in range(h):
        line = rows[row * image.contents.bytes_per_line:][: 4 * w]
        for channel, at in ((0, 2), (1, 1), (2, 0)):  # X's words are B, G, R, unused
            pixels[3 * w * row + channel:3 * w * (row + 1):3] = line[at::4]
    return bytes(pixels)


def write_ppm(path, w, h, pixels):
    with open(path, "wb") as picture:
        picture.write(b"P6 %d %d 255\n" % (w, h) + pixels)


if __name__ == "__main__":
    out, x, y, w, h = sys.argv[1], *(int(v) for v in sys.argv[2:6])
    pixels = grab(open_display(), x, y, w, h)
    if pixels is None:
        sys.exit(1)
    write_ppm(out, w, h, pixels)
