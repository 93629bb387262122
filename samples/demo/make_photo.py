#!/usr/bin/python3
"""Draws the author photo of the demo tour: a stylised portrait, 160 x 190
pixels, so that it fits the 200 x 200 square of the information dialog.

    /usr/bin/python3 make_photo.py OUT.jpg
"""

import sys

from PIL import Image, ImageDraw, ImageFilter

S = 4
W, H = 160, 190


def main(out):
    img = Image.new("RGB", (W * S, H * S))
    draw = ImageDraw.Draw(img)
    for y in range(H * S):  # a sky behind the sitter
        t = y / (H * S)
        draw.line([(0, y), (W * S, y)], fill=(int(120 + 90 * t), int(160 + 60 * t), int(210 + 30 * t)))
    draw.polygon([(0, 150 * S), (60 * S, 128 * S), (120 * S, 140 * S), (W * S, 126 * S),
                  (W * S, H * S), (0, H * S)], fill=(70, 110, 80))
    # shoulders and jacket
    draw.ellipse([18 * S, 128 * S, 142 * S, 250 * S], fill=(52, 64, 92))
    draw.polygon([(66 * S, 132 * S), (80 * S, 160 * S), (94 * S, 132 * S)], fill=(236, 232, 220))
    # neck and head
    draw.rectangle([70 * S, 108 * S, 90 * S, 136 * S], fill=(214, 170, 140))
    draw.ellipse([50 * S, 46 * S, 110 * S, 122 * S], fill=(226, 184, 152))
    # hair and a cap
    draw.chord([48 * S, 40 * S, 112 * S, 100 * S], start=180, end=360, fill=(90, 60, 40))
    draw.ellipse([46 * S, 34 * S, 114 * S, 66 * S], fill=(180, 60, 50))
    draw.rectangle([46 * S, 52 * S, 124 * S, 60 * S], fill=(160, 50, 42))
    # eyes and smile
    for ex in (68, 92):
        draw.ellipse([(ex - 3) * S, 80 * S, (ex + 3) * S, 86 * S], fill=(50, 40, 36))
    draw.arc([68 * S, 92 * S, 92 * S, 108 * S], start=20, end=160, fill=(150, 80, 70), width=2 * S)
    # the camera the author carries
    draw.rounded_rectangle([92 * S, 150 * S, 140 * S, 180 * S], radius=4 * S, fill=(30, 30, 34))
    draw.ellipse([106 * S, 154 * S, 128 * S, 176 * S], fill=(70, 80, 96), outline=(150, 150, 160),
                 width=S)
    img = img.resize((W, H), Image.LANCZOS).filter(ImageFilter.SMOOTH)
    img.save(out, quality=85)


if __name__ == "__main__":
    main(sys.argv[1])
