"""The look of the default skin, shared by the skin generator and by the
language module's pictures (the full-screen toolbar outline must match the
full-screen toolbar image pixel for pixel).

Everything is drawn at SCALE times the final size and reduced, so edges are
smooth; the toolbar is rendered whole and the button images are cut out of
it, so a hover or pressed image always fits the strip it is drawn on.
"""

from PIL import Image, ImageDraw, ImageFont

SCALE = 4
FONT_DIR = "/usr/share/fonts/truetype/dejavu/"

# palette
BLACK = (0, 0, 0)
STRIP_TOP = (40, 47, 60)
STRIP_BOTTOM = (24, 29, 38)
PANEL = (46, 54, 70)
PANEL_EDGE = (70, 82, 104)
BUTTON = (58, 68, 88)
BUTTON_EDGE = (84, 98, 124)
HOVER = (74, 88, 114)
ACCENT = (64, 182, 232)
ACCENT_DEEP = (28, 118, 168)
GLYPH = (214, 224, 236)
WHITE = (255, 255, 255)
STATUS_FIELD = (17, 21, 28)
STATUS_EDGE = (52, 61, 78)

# layout of the toolbar (toolbar client coordinates, x, y, width, height)
TOOLBAR_SIZE = (480, 102)
FULL_TOOLBAR_SIZE = (480, 72)
PAD_RECT = (18, 16, 43, 43)
CONTROL_RECTS = [
    (18, 29, 17, 17), (44, 29, 17, 17), (31, 16, 17, 17), (32, 42, 17, 17), (32, 29, 17, 17),
    (86, 28, 31, 31), (124, 28, 31, 31), (162, 28, 31, 31), (200, 28, 31, 31),
    (238, 28, 31, 31), (276, 28, 31, 31),
]
CONTROL_NAMES = ["left", "right", "up", "down", "stop", "previous", "next", "reset-view",
                 "auto-rotate", "play-tour", "full-screen"]
# the panel behind the pad and the buttons: identical in both toolbars
PANEL_RECT = (8, 10, 306, 56)
# the outline of the full-screen toolbar: a tab over the controls whose left
# and bottom edges lie on the screen's edges
FULL_SHAPE_RECT = (0, 2, 326, 100)
FULL_SHAPE_RADIUS = 16
# the status line of the windowed toolbar (text drawn at (15, 102 - 28))
STATUS_RECT = (7, 68, 466, 28)
WINDOW_SKIN_SIZE = (480, 36 + 360 + 102)
BAND_HEIGHT = 36


def font(size, bold=False):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    return ImageFont.truetype(FONT_DIR + name, size)


def big(box):
    return [v * SCALE for v in box]


def rect_box(rect, inset=0.0):
    x, y, w, h = rect
    return [(x + inset) * SCALE, (y + inset) * SCALE,
            (x + w - inset) * SCALE - 1, (y + h - inset) * SCALE - 1]


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    draw = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(1, h - 1)
        draw.line([(0, y), (w, y)], fill=tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    return img


def reduce(img):
    return img.resize((img.width // SCALE, img.height // SCALE), Image.LANCZOS)


# ---- glyphs, drawn in a box given in final pixels around (cx, cy) ----------

def _poly(draw, cx, cy, points, colour):
    draw.polygon([((cx + px) * SCALE, (cy + py) * SCALE) for px, py in points], fill=colour)


def draw_glyph(draw, name, cx, cy, colour):
    s = SCALE
    if name == "left":
        _poly(draw, cx, cy, [(-3.5, 0), (2.5, -4.5), (2.5, 4.5)], colour)
    elif name == "right":
        _poly(draw, cx, cy, [(3.5, 0), (-2.5, -4.5), (-2.5, 4.5)], colour)
    elif name == "up":
        _poly(draw, cx, cy, [(0, -3.5), (-4.5, 2.5), (4.5, 2.5)], colour)
    elif name == "down":
        _poly(draw, cx, cy, [(0, 3.5), (-4.5, -2.5), (4.5, -2.5)], colour)
    elif name == "stop":
        draw.rounded_rectangle([(cx - 3) * s, (cy - 3) * s, (cx + 3) * s, (cy + 3) * s],
                               radius=s, fill=colour)
    elif name == "previous":
        draw.rectangle([(cx - 7) * s, (cy - 6) * s, (cx - 5) * s, (cy + 6) * s], fill=colour)
        _poly(draw, cx, cy, [(-5, 0), (1, -6), (1, 6)], colour)
        _poly(draw, cx, cy, [(1, 0), (7, -6), (7, 6)], colour)
    elif name == "next":
        draw.rectangle([(cx + 5) * s, (cy - 6) * s, (cx + 7) * s, (cy + 6) * s], fill=colour)
        _poly(draw, cx, cy, [(5, 0), (-1, -6), (-1, 6)], colour)
        _poly(draw, cx, cy, [(-1, 0), (-7, -6), (-7, 6)], colour)
    elif name == "reset-view":
        # a house: back to where the scene starts
        _poly(draw, cx, cy, [(0, -7.5), (-8, -0.5), (8, -0.5)], colour)
        draw.rectangle([(cx - 5.5) * s, (cy - 1) * s, (cx + 5.5) * s, (cy + 7) * s], fill=colour)
    elif name == "auto-rotate":
        r = 6.5
        draw.arc([(cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s], start=-60, end=220,
                 fill=colour, width=int(2.2 * s))
        _poly(draw, cx, cy, [(3.2, -9.5), (8.8, -4.8), (2.2, -2.6)], colour)
    elif name == "play-tour":
        _poly(draw, cx, cy, [(-4.5, -7), (-4.5, 7), (7, 0)], colour)
    elif name == "full-screen":
        w = 2.0
        for sx in (-1, 1):
            for sy in (-1, 1):
                x0, y0 = cx + sx * 7.5, cy + sy * 7.5
                draw.rectangle(sorted_box(x0, y0, x0 - sx * 5, y0 - sy * w), fill=colour)
                draw.rectangle(sorted_box(x0, y0, x0 - sx * w, y0 - sy * 5), fill=colour)


def sorted_box(x0, y0, x1, y1):
    return [min(x0, x1) * SCALE, min(y0, y1) * SCALE, max(x0, x1) * SCALE - 1,
            max(y0, y1) * SCALE - 1]


def control_centre(k):
    x, y, w, h = CONTROL_RECTS[k]
    return x + w / 2, y + h / 2


# ---- the toolbar -------------------------------------------------------------

def draw_panel_and_controls(img, states):
    """Draws the panel, the direction pad and the six buttons; states maps a
    control index to "hover" or "pressed" (others are drawn idle)."""
    draw = ImageDraw.Draw(img)
    draw.rounded_rectangle(rect_box(PANEL_RECT), radius=10 * SCALE, fill=PANEL,
                           outline=PANEL_EDGE, width=SCALE)
    # direction pad: a disc with four arrows and a stop key
    px, py, pw, ph = PAD_RECT
    draw.ellipse(rect_box(PAD_RECT, 0.5), fill=BUTTON, outline=BUTTON_EDGE, width=SCALE)
    for k in range(5):
        cx, cy = control_centre(k)
        state = states.get(k)
        if state == "pressed":
            r = 6.5
            draw.ellipse([(cx - r) * SCALE, (cy - r) * SCALE, (cx + r) * SCALE, (cy + r) * SCALE],
                         fill=ACCENT_DEEP)
            draw_glyph(draw, CONTROL_NAMES[k], cx, cy + 0.5, WHITE)
        elif state == "hover":
            r = 6.5
            draw.ellipse([(cx - r) * SCALE, (cy - r) * SCALE, (cx + r) * SCALE, (cy + r) * SCALE],
                         fill=HOVER)
            draw_glyph(draw, CONTROL_NAMES[k], cx, cy, ACCENT)
        else:
            draw_glyph(draw, CONTROL_NAMES[k], cx, cy, GLYPH)
    for k in range(5, 11):
        state = states.get(k)
        box = rect_box(CONTROL_RECTS[k], 0.5)
        cx, cy = control_centre(k)
        if state == "pressed":
            draw.rounded_rectangle(box, radius=7 * SCALE, fill=ACCENT_DEEP, outline=ACCENT,
                                   width=SCALE)
            draw_glyph(draw, CONTROL_NAMES[k], cx, cy + 1, WHITE)
        elif state == "hover":
            draw.rounded_rectangle(box, radius=7 * SCALE, fill=HOVER, outline=ACCENT, width=SCALE)
            draw_glyph(draw, CONTROL_NAMES[k], cx, cy, WHITE)
        else:
            draw.rounded_rectangle(box, radius=7 * SCALE, fill=BUTTON, outline=BUTTON_EDGE,
                                   width=SCALE)
            draw_glyph(draw, CONTROL_NAMES[k], cx, cy, GLYPH)


def windowed_toolbar(states=None):
    w, h = TOOLBAR_SIZE
    img = vertical_gradient((w * SCALE, h * SCALE), STRIP_TOP, STRIP_BOTTOM)
    draw = ImageDraw.Draw(img)
    draw.rectangle([0, 0, w * SCALE, SCALE - 1], fill=PANEL_EDGE)
    draw_panel_and_controls(img, states or {})
    draw.rounded_rectangle(rect_box(STATUS_RECT), radius=6 * SCALE, fill=STATUS_FIELD,
                           outline=STATUS_EDGE, width=SCALE)
    # a quiet wordmark at the right, seen with the larger view sizes
    draw.text((330 * SCALE, 27 * SCALE), "lumivue", font=font(15 * SCALE, bold=True),
              fill=PANEL_EDGE)
    return reduce(img)


def full_screen_shape_mask():
    """The outline of the full-screen toolbar: 255 inside, 0 outside."""
    w, h = FULL_TOOLBAR_SIZE
    mask = Image.new("L", (w * SCALE, h * SCALE), 0)
    ImageDraw.Draw(mask).rounded_rectangle(rect_box(FULL_SHAPE_RECT),
                                           radius=FULL_SHAPE_RADIUS * SCALE, fill=255)
    mask = reduce(mask)
    # a window region keeps or drops whole pixels: make the edge hard
    return mask.point(lambda v: 255 if v >= 128 else 0)


def full_screen_toolbar():
    """The full-screen toolbar on pure black; nothing inside the outline is
    dark enough to be taken for the black key colour."""
    w, h = FULL_TOOLBAR_SIZE
    img = vertical_gradient((w * SCALE, h * SCALE), STRIP_TOP, STRIP_BOTTOM)
    draw = ImageDraw.Draw(img)
    draw.rounded_rectangle(rect_box(FULL_SHAPE_RECT), radius=FULL_SHAPE_RADIUS * SCALE,
                           outline=PANEL_EDGE, width=SCALE)
    draw_panel_and_controls(img, {})
    img = reduce(img)
    black = Image.new("RGB", (w, h), BLACK)
    return Image.composite(img, black, full_screen_shape_mask())


def full_screen_outline():
    """Picture 158 of the language module: the outline on pure black."""
    w, h = FULL_TOOLBAR_SIZE
    fill = Image.new("RGB", (w, h), PANEL)
    return Image.composite(fill, Image.new("RGB", (w, h), BLACK), full_screen_shape_mask())


def window_skin():
    w, h = WINDOW_SKIN_SIZE
    img = Image.new("RGB", (w * SCALE, h * SCALE), STRIP_BOTTOM)
    band = vertical_gradient((w * SCALE, BAND_HEIGHT * SCALE), STRIP_BOTTOM, STRIP_TOP)
    img.paste(band, (0, 0))
    draw = ImageDraw.Draw(img)
    draw.rectangle([0, (BAND_HEIGHT - 1) * SCALE, w * SCALE, BAND_HEIGHT * SCALE - 1],
                   fill=PANEL_EDGE)
    # a row of small dots at the left of the band, the accent at the end
    for i in range(5):
        cx, cy, r = 14 + i * 10, BAND_HEIGHT / 2, 2.2
        draw.ellipse([(cx - r) * SCALE, (cy - r) * SCALE, (cx + r) * SCALE, (cy + r) * SCALE],
                     fill=ACCENT if i == 4 else PANEL_EDGE)
    return reduce(img)
