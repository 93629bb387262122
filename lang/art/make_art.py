#!/usr/bin/python3
"""Writes the pictures, icons and cursors of the language modules into this
folder: the menu check marks (13 x 13, the platform's usual check-mark size),
the full-screen toolbar outline (from the skin's own drawing, so the two
match), the about face and the help card of each language, a logo, a compass,
the window icon, the two cursors and the link and note markers (normal and
highlighted) laid over the panorama.

    /usr/bin/python3 lang/art/make_art.py
"""

import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "skin"))
import skinlook as look  # noqa: E402

S = look.SCALE
CHECK_SIZE = 13
# the about box opens the maker's web address when this rectangle is clicked
LINK_RECT = (71, 172, 209, 182)  # left, top, right, bottom (exclusive)
MAKER_ADDRESS = "lumivue.example.org"

TEXTS = {
    "en": {
        "subtitle": "Virtual tour player",
        "version": "Version 0.1",
        "close": "Click anywhere to close",
        "help_title": "How to look around",
        "help_lead": [
            "Drag with the left mouse button: the farther",
            "you drag, the faster the view turns.",
        ],
        "help_keys": [
            ("Arrow keys", "turn and tilt"),
            ("A, Shift", "zoom in"),
            ("Z, Ctrl", "zoom out"),
            ("Page Up / Down", "previous / next scene"),
            ("Home", "back to the start view"),
            ("R", "turn by itself"),
            ("Space, P", "play the tour"),
            ("F", "full screen (Esc leaves it)"),
            ("M", "sound on or off"),
            ("+ / \u2212", "louder / quieter"),
            ("I", "about this tour"),
            ("H", "this card"),
            ("F1 / Q", "about the player / quit"),
        ],
    },
    "de": {
        "subtitle": "Player f\u00fcr virtuelle Rundg\u00e4nge",
        "version": "Version 0.1",
        "close": "Zum Schlie\u00dfen irgendwo klicken",
        "help_title": "So sehen Sie sich um",
        "help_lead": [
            "Mit gedr\u00fcckter linker Maustaste ziehen: je",
            "weiter Sie ziehen, desto schneller dreht sich das Bild.",
        ],
        "help_keys": [
            ("Pfeiltasten", "drehen und neigen"),
            ("A, Umschalt", "heranzoomen"),
            ("Z, Strg", "wegzoomen"),
            ("Bild auf / ab", "vorige / n\u00e4chste Szene"),
            ("Pos1", "zur\u00fcck zur Startansicht"),
            ("R", "von selbst drehen"),
            ("Leertaste, P", "Rundgang abspielen"),
            ("F", "Vollbild (Esc beendet es)"),
            ("M", "Ton an oder aus"),
            ("+ / \u2212", "lauter / leiser"),
            ("I", "\u00fcber diesen Rundgang"),
            ("H", "diese Karte"),
            ("F1 / Q", "\u00fcber den Player / beenden"),
        ],
    },
}


def save_gif(img, name):
    img.convert("RGB").quantize(colors=256, method=0, dither=0).save(os.path.join(HERE, name))


def accent_dot_wordmark(draw, x, y, size):
    f = look.font(size * S, bold=True)
    draw.text((x * S, y * S), "lumivue", font=f, fill=look.WHITE)
    width = draw.textlength("lumivue", font=f) / S
    r = size * 0.14
    cx, cy = x + width + r * 2.2, y + size * 0.95
    draw.ellipse([(cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S], fill=look.ACCENT)


def panorama_band(draw, x, y, w, h):
    """A small stylised panorama: hills under a sky, as the product's emblem."""
    draw.rounded_rectangle([x * S, y * S, (x + w) * S, (y + h) * S], radius=4 * S,
                           fill=(44, 92, 140))
    pts = [(x, y + h)]
    for i in range(0, w + 1, 4):
        t = i / w
        ridge = 0.55 + 0.18 * __import__("math").sin(t * 12.0) + 0.1 * __import__("math").sin(t * 31.0)
        pts.append((x + i, y + h * ridge))
    pts.append((x + w, y + h))
    draw.polygon([(px * S, py * S) for px, py in pts], fill=(46, 120, 88))
    draw.rounded_rectangle([x * S, y * S, (x + w) * S, (y + h) * S], radius=4 * S,
                           outline=look.ACCENT, width=S)


def about_face(lang):
    t = TEXTS[lang]
    w, h = 280, 200
    img = look.vertical_gradient((w * S, h * S), (36, 43, 56), (20, 24, 32))
    draw = ImageDraw.Draw(img)
    draw.rectangle([0, 0, w * S - 1, h * S - 1], outline=look.PANEL_EDGE, width=S)
    panorama_band(draw, 20, 22, 240, 34)
    accent_dot_wordmark(draw, 20, 70, 30)
    draw.text((21 * S, 108 * S), t["subtitle"], font=look.font(13 * S), fill=look.GLYPH)
    draw.text((21 * S, 128 * S), t["version"], font=look.font(11 * S), fill=(150, 162, 180))
    draw.text((21 * S, 148 * S), t["close"], font=look.font(10 * S), fill=(150, 162, 180))
    img = look.reduce(img)
    # the link, drawn at its final size so that its ink stays inside the
    # clickable rectangle
    draw = ImageDraw.Draw(img)
    f = look.font(10)
    left, top, right, bottom = LINK_RECT
    bbox = draw.textbbox((0, 0), MAKER_ADDRESS, font=f)
    tw, th = bbox[2] - bbox[0], bbox[3] - bbox[1]
    x = left + (right - left - tw) // 2 - bbox[0]
    y = top - bbox[1]
    draw.text((x, y), MAKER_ADDRESS, font=f, fill=look.ACCENT)
    ink = draw.textbbox((x, y), MAKER_ADDRESS, font=f)
    assert left <= ink[0] and ink[2] <= right and top <= ink[1] and ink[3] <= bottom, ink
    draw.line([(ink[0], bottom - 1), (ink[2] - 1, bottom - 1)], fill=look.ACCENT)
    return img


def help_card(lang):
    t = TEXTS[lang]
    w = 440
    h = 44 + 17 * len(t["help_lead"]) + 8 + 17 * len(t["help_keys"]) + 34
    img = look.vertical_gradient((w * S, h * S), (36, 43, 56), (20, 24, 32))
    draw = ImageDraw.Draw(img)
    draw.rectangle([0, 0, w * S - 1, h * S - 1], outline=look.PANEL_EDGE, width=S)
    draw.text((20 * S, 14 * S), t["help_title"], font=look.font(18 * S, bold=True),
              fill=look.WHITE)
    y = 44
    for line in t["help_lead"]:
        draw.text((20 * S, y * S), line, font=look.font(12 * S), fill=look.GLYPH)
        y += 17
    y += 8
    key_font, text_font = look.font(12 * S, bold=True), look.font(12 * S)
    for key, what in t["help_keys"]:
        draw.text((20 * S, y * S), key, font=key_font, fill=look.ACCENT)
        draw.text((150 * S, y * S), what, font=text_font, fill=look.GLYPH)
        y += 17
    draw.text((20 * S, (h - 22) * S), t["close"], font=look.font(10 * S), fill=(150, 162, 180))
    return look.reduce(img)


def logo():
    w, h = 240, 64
    img = look.vertical_gradient((w * S, h * S), (36, 43, 56), (20, 24, 32))
    draw = ImageDraw.Draw(img)
    panorama_band(draw, 10, 14, 44, 36)
    accent_dot_wordmark(draw, 66, 12, 30)
    return look.reduce(img)


def compass():
    size = 96
    img = Image.new("RGB", (size * S, size * S), (20, 24, 32))
    draw = ImageDraw.Draw(img)
    c, r = size / 2, size / 2 - 4
    draw.ellipse([(c - r) * S, (c - r) * S, (c + r) * S, (c + r) * S], fill=look.PANEL,
                 outline=look.ACCENT, width=2 * S)
    for angle, colour in ((0, look.ACCENT), (180, look.GLYPH)):
        sign = -1 if angle == 0 else 1
        draw.polygon([(c * S, (c + sign * (r - 8)) * S), ((c - 7) * S, c * S),
                      ((c + 7) * S, c * S)], fill=colour)
    draw.polygon([((c - r + 10) * S, c * S), (c * S, (c - 5) * S), ((c + r - 10) * S, c * S),
                  (c * S, (c + 5) * S)], fill=look.PANEL_EDGE)
    return look.reduce(img)


def check_marks():
    n = CHECK_SIZE
    menu_grey = (240, 240, 240)
    checked = Image.new("RGB", (n * S, n * S), menu_grey)
    draw = ImageDraw.Draw(checked)
    draw.ellipse([S, S, (n - 1) * S - 1, (n - 1) * S - 1], fill=look.ACCENT_DEEP)
    draw.line([(3.6 * S, 6.6 * S), (5.6 * S, 8.6 * S), (9.4 * S, 4.4 * S)], fill=look.WHITE,
              width=int(1.6 * S))
    unchecked = Image.new("RGB", (n * S, n * S), menu_grey)
    ImageDraw.Draw(unchecked).ellipse([S, S, (n - 1) * S - 1, (n - 1) * S - 1],
                                      outline=(150, 156, 166), width=S)
    return look.reduce(checked), look.reduce(unchecked)


# ---- link markers ------------------------------------------------------------

MARKER_SIZE = 24
MARKER_KEY = (255, 0, 255)  # transparent: the player leaves the panorama there


def marker(highlighted):
    """A white ring with a dark outline, readable on bright and dark panoramas;
    highlighted, the ring is thicker and holds an accent disc. Edges are cut
    at half cover, since a blend into the key colour would show as a fringe."""
    n = MARKER_SIZE
    big = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    c = n * S / 2

    def disc(radius, colour):
        d.ellipse([c - radius * S, c - radius * S, c + radius * S - 1, c + radius * S - 1],
                  fill=colour + (255,))

    outer = 11.5 if highlighted else 10.5
    ring = 4.0 if highlighted else 3.0
    disc(outer, (16, 18, 24))
    disc(outer - 1.2, look.WHITE)
    disc(outer - 1.2 - ring, (16, 18, 24))
    if highlighted:
        disc(outer - 2.4 - ring, look.ACCENT)
    else:
        d.ellipse([c - (outer - 2.4 - ring) * S, c - (outer - 2.4 - ring) * S,
                   c + (outer - 2.4 - ring) * S - 1, c + (outer - 2.4 - ring) * S - 1],
                  fill=(0, 0, 0, 0))
        disc(1.6, (16, 18, 24))
        disc(1.0, look.WHITE)
    return keyed(big, n)


def keyed(big, n):
    """The supersampled picture reduced to n x n over the key colour, each
    pixel kept or keyed at half cover (a blend would show as a fringe)."""
    small = big.resize((n, n), Image.LANCZOS)
    out = Image.new("RGB", (n, n), MARKER_KEY)
    for y in range(n):
        for x in range(n):
            r, g, b, a = small.getpixel((x, y))
            if a >= 128:
                out.putpixel((x, y), (r, g, b))
    return out


def note_marker(highlighted):
    """A note's marker: a white card with a dark outline and a dark "i", a
    shape no link's ring has; highlighted, the card is the accent colour with
    a white "i" and a thicker outline."""
    n = MARKER_SIZE
    big = Image.new("RGBA", (n * S, n * S), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    c = n * S / 2
    half = 11.5 if highlighted else 10.5
    outline = 2.0 if highlighted else 1.2
    dark = (16, 18, 24, 255)
    card = look.ACCENT if highlighted else look.WHITE
    letter = look.WHITE if highlighted else (16, 18, 24)

    def square(h, radius, colour):
        d.rounded_rectangle([c - h * S, c - h * S, c + h * S - 1, c + h * S - 1],
                            radius=radius * S, fill=colour)

    square(half, 4.0, dark)
    square(half - outline, 3.0, card + (255,))
    d.ellipse([c - 1.9 * S, c - 7.4 * S, c + 1.9 * S - 1, c - 3.6 * S - 1], fill=letter + (255,))
    d.rectangle([c - 1.6 * S, c - 2.5 * S, c + 1.6 * S - 1, c + 7.0 * S - 1], fill=letter + (255,))
    return keyed(big, n)


# ---- icons and cursors -------------------------------------------------------

def icon_image_data(rgba):
    """One icon or cursor image: a 32-bit DIB (height doubled) followed by
    the 1-bit AND mask, both bottom-up."""
    w, h = rgba.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    stride = ((w + 31) // 32) * 4
    for y in range(h - 1, -1, -1):
        row_mask = bytearray(stride)
        for x in range(w):
            r, g, b, a = rgba.getpixel((x, y))
            pixels += bytes((b, g, r, a))
            if a < 128:
                row_mask[x // 8] |= 0x80 >> (x % 8)
        mask += row_mask
    return header + bytes(pixels) + bytes(mask)


def write_icon_file(path, images, kind, hotspot=(0, 0)):
    """kind 1: icon file, kind 2: cursor file (hot spot in place of planes
    and bit count)."""
    datas = [icon_image_data(img) for img in images]
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for img, data in zip(images, datas):
        w, h = img.size
        if kind == 1:
            a, b = 1, 32
        else:
            a, b = hotspot
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, a, b, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(datas))


def outlined(mask_big, fill, outline, thickness):
    """A shape in fill colour with an outline, from a mask drawn at S times
    the size; returns the reduced RGBA image."""
    grown = mask_big.filter(ImageFilter.MaxFilter(thickness * 2 * S // 2 * 2 + 1))
    img = Image.new("RGBA", mask_big.size, (0, 0, 0, 0))
    img.paste(Image.new("RGBA", mask_big.size, outline + (255,)), (0, 0), grown)
    img.paste(Image.new("RGBA", mask_big.size, fill + (255,)), (0, 0), mask_big)
    return img.resize((mask_big.width // S, mask_big.height // S), Image.LANCZOS)


def arrow_cursor():
    mask = Image.new("L", (32 * S, 32 * S), 0)
    pts = [(1, 1), (1, 18), (5, 14.5), (8, 21.5), (10.6, 20.4), (7.7, 13.6), (12.6, 13.6)]
    ImageDraw.Draw(mask).polygon([(x * S, y * S) for x, y in pts], fill=255)
    return outlined(mask, (255, 255, 255), (0, 0, 0), 1)


def hand_cursor():
    mask = Image.new("L", (32 * S, 32 * S), 0)
    d = ImageDraw.Draw(mask)

    def rr(x0, y0, x1, y1, r):
        d.rounded_rectangle([x0 * S, y0 * S, x1 * S, y1 * S], radius=r * S, fill=255)

    rr(9, 1.5, 13, 15, 2)      # index finger
    rr(13, 8, 16.4, 16, 1.6)   # middle finger
    rr(16.4, 9, 19.8, 17, 1.6)  # ring finger
    rr(19.8, 10.5, 23, 18, 1.5)  # little finger
    rr(8, 13, 23, 25, 3.5)     # palm
    d.polygon([(x * S, y * S) for x, y in [(8.5, 15), (4, 11.5), (2.6, 13), (7.5, 21), (9.5, 21)]],
              fill=255)        # thumb
    return outlined(mask, (255, 255, 255), (0, 0, 0), 1)


def app_icon(size):
    img = Image.new("RGBA", (size * S, size * S), (0, 0, 0, 0))
    draw = ImageDraw.Draw(img)
    pad = size * 0.06
    draw.rounded_rectangle([pad * S, pad * S, (size - pad) * S, (size - pad) * S],
                           radius=size * 0.2 * S, fill=(44, 92, 140) + (255,))
    pts = [(pad, size * 0.72)]
    import math
    for i in range(0, 21):
        t = i / 20
        pts.append((pad + t * (size - 2 * pad), size * (0.6 - 0.12 * math.sin(t * 7))))
    pts.append((size - pad, size * 0.72))
    pts.append((size - pad, size - pad - size * 0.2))
    pts.append((pad, size - pad - size * 0.2))
    draw.polygon([(x * S, y * S) for x, y in pts], fill=(46, 120, 88, 255))
    draw.rounded_rectangle([pad * S, pad * S, (size - pad) * S, (size - pad) * S],
                           radius=size * 0.2 * S, outline=look.ACCENT + (255,),
                           width=max(1, int(size / 16)) * S)
    r = size * 0.1
    cx, cy = size * 0.7, size * 0.3
    draw.ellipse([(cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S],
                 fill=(245, 200, 80, 255))
    return img.resize((size, size), Image.LANCZOS)


def web_icon():
    size = 16
    img = Image.new("RGBA", (size * S, size * S), (0, 0, 0, 0))
    draw = ImageDraw.Draw(img)
    ring = look.ACCENT_DEEP + (255,)
    draw.ellipse([1 * S, 1 * S, 15 * S - 1, 15 * S - 1], fill=(220, 238, 250, 255), outline=ring,
                 width=int(1.4 * S))
    draw.ellipse([5 * S, 1 * S, 11 * S - 1, 15 * S - 1], outline=ring, width=S)
    draw.line([(1.5 * S, 8 * S), (14.5 * S, 8 * S)], fill=ring, width=S)
    draw.line([(8 * S, 1.5 * S), (8 * S, 14.5 * S)], fill=ring, width=S)
    return img.resize((size, size), Image.LANCZOS)


def mail_icon():
    size = 16
    img = Image.new("RGBA", (size * S, size * S), (0, 0, 0, 0))
    draw = ImageDraw.Draw(img)
    edge = look.ACCENT_DEEP + (255,)
    draw.rectangle([1 * S, 3 * S, 15 * S - 1, 13 * S - 1], fill=(250, 250, 246, 255), outline=edge,
                   width=int(1.2 * S))
    draw.line([(1.5 * S, 3.5 * S), (8 * S, 9 * S), (14.5 * S, 3.5 * S)], fill=edge, width=S)
    return img.resize((size, size), Image.LANCZOS)


def main():
    for lang in TEXTS:
        save_gif(about_face(lang), f"about-{lang}.gif")
        save_gif(help_card(lang), f"help-{lang}.gif")
    save_gif(logo(), "logo.gif")
    save_gif(compass(), "compass.gif")
    save_gif(look.full_screen_outline(), "full-screen-outline.gif")
    checked, unchecked = check_marks()
    save_gif(checked, "checked.gif")
    unchecked.save(os.path.join(HERE, "unchecked.bmp"))
    write_icon_file(os.path.join(HERE, "lumivue.ico"), [app_icon(16), app_icon(32)], 1)
    write_icon_file(os.path.join(HERE, "web.ico"), [web_icon()], 1)
    write_icon_file(os.path.join(HERE, "mail.ico"), [mail_icon()], 1)
    write_icon_file(os.path.join(HERE, "arrow.cur"), [arrow_cursor()], 2, hotspot=(1, 1))
    write_icon_file(os.path.join(HERE, "hand.cur"), [hand_cursor()], 2, hotspot=(11, 2))
    marker(False).save(os.path.join(HERE, "marker.bmp"))
    marker(True).save(os.path.join(HERE, "marker-highlighted.bmp"))
    note_marker(False).save(os.path.join(HERE, "note-marker.bmp"))
    note_marker(True).save(os.path.join(HERE, "note-marker-highlighted.bmp"))


if __name__ == "__main__":
    main()
