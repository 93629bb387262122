# Markers laid over the view (links and notes): where a direction projects
# into the view, and whether a marker drawn there lies on it. Sourced by
# e2e_common.sh.

# projected W H PAN TILT FOV MARKER_PAN MARKER_TILT: "x y", the view pixel of
# a W x H view at PAN TILT FOV where the direction MARKER_PAN MARKER_TILT
# lies (the warp's geometry: rays through pixel centres x - W/2 and H/2 - y,
# the view tilted, a positive tilt below the horizon).
projected() {
  python3 - "$@" <<'PY'
import math, sys
w, h, pan, tilt, fov, mp, mt = (float(v) for v in sys.argv[1:8])
f = (w / 2) / math.tan(math.radians(fov) / 2)
turn, lat, t = math.radians(mp - pan), math.radians(mt), math.radians(tilt)
across, ahead, up = math.cos(lat) * math.sin(turn), math.cos(lat) * math.cos(turn), math.sin(lat)
depth = ahead * math.cos(t) + up * math.sin(t)
rise = f * (up * math.cos(t) - ahead * math.sin(t)) / depth
print(f"{w / 2 + f * across / depth - 0.5:.2f} {h / 2 - 0.5 + rise:.2f}")
PY
}
# near A B: the two points ("x y ...") lie within a pixel of each other in
# each direction (the marker's centre is half a pixel left of and above its
# pixel, as an even-sized picture centred on a pixel is).
near() {
  python3 -c 'import sys
a, b = (list(map(float, p.split()[:2])) for p in sys.argv[1:3])
sys.exit(0 if all(abs(u + 0.5 - v) <= 1.0 for u, v in zip(a, b)) else 1)' "$1" "$2"
}
