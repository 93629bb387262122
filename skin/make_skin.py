#!/usr/bin/python3
"""Writes the 26 images of the default skin into this folder, in slot order:
slot 2k is the hover look and 2k + 1 the pressed look of control k (0-4 the
direction pad, 5-10 the buttons), 22 the pad background, 23 the window skin,
24 the windowed toolbar, 25 the full-screen toolbar.

    /usr/bin/python3 skin/make_skin.py
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import skinlook as look  # noqa: E402

OUT = os.path.dirname(os.path.abspath(__file__))


def crop(img, rect):
    x, y, w, h = rect
    return img.crop((x, y, x + w, y + h))


def save_gif(img, name):
    # an adaptive palette without dithering keeps flat areas flat, so a cut-out
    # matches the strip it is drawn on
    img.convert("RGB").quantize(colors=256, method=0, dither=0).save(os.path.join(OUT, name))


def main():
    for old in os.listdir(OUT):
        if old[:2].isdigit() and old.endswith((".gif", ".bmp")):
            os.remove(os.path.join(OUT, old))
    for k, name in enumerate(look.CONTROL_NAMES):
        for offset, state in ((0, "hover"), (1, "pressed")):
            strip = look.windowed_toolbar({k: state})
            save_gif(crop(strip, look.CONTROL_RECTS[k]), f"{2 * k + offset:02d}-{name}-{state}.gif")
    save_gif(crop(look.windowed_toolbar(), look.PAD_RECT), "22-pad.gif")
    save_gif(look.window_skin(), "23-window.gif")
    look.windowed_toolbar().save(os.path.join(OUT, "24-toolbar.bmp"))
    look.full_screen_toolbar().save(os.path.join(OUT, "25-full-screen-toolbar.bmp"))


if __name__ == "__main__":
    main()
