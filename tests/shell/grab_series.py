# grab_series.py FOLDER X Y W H SECONDS: that area of the X screen as often
# as it can be read for SECONDS, as FOLDER/0000.ppm, 0001.ppm, ...: the frames
# of a short animation, which separate polls would mostly miss.
import os, sys, time

from grab_area import grab, open_display, write_ppm

folder, x, y, w, h, seconds = sys.argv[1], *(int(v) for v in sys.argv[2:6]), float(sys.argv[6])
os.makedirs(folder, exist_ok=True)
display = open_display()
frames = []
end = time.monotonic() + seconds
while time.monotonic() < end:
    pixels = grab(display, x, y, w, h)
    if pixels is None:
        sys.exit(1)
    frames.append(pixels)
for number, pixels in enumerate(frames):
    write_ppm(os.path.join(folder, "%04d.ppm" % number), w, h, pixels)
