#!/usr/bin/env bash
# Walking through a link: the sample tour's first scene (a BMP, decoded as
# tourpack decodes it) at pan 60, so that its link (pan 85, tilt 4, to
# Lighthouse Point at pan 0, tilt -4, field of view 70) lies in view. Tab and
# Enter follow it: the view turns toward the link and narrows to 60 degrees,
# then fades into Lighthouse Point. Among the frames read off the screen
# meanwhile, one differs from both scenes' views and lies between them,
# pixel by pixel; the last is Lighthouse Point at the link's view.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_common.sh"

scenes=$(python3 -c 'import json, sys
scenes = json.load(open(sys.argv[1]))["scenes"]
scenes[0].update(pan=60, tilt=0, fieldOfView=100, image="../calibration/images/grid-24bit.bmp")
print(json.dumps(scenes))' "$source/samples/demo/tour.json")
pack walk "scenes=$scenes" 'transition="walk"'
start walk
read -r vx vy vw vh <<<"$(view_box)"
focus_view
settle walk-start $vx $vy $vw $vh
# The two ends of the fade, as tourpack renders them: the first scene turned
# to the link and narrowed, and the link's scene at its view.
tourpack render "$work/walk.exe" --scene 1 --pan 85 --tilt 4 --fov 60 --size "${vw}x${vh}" \
  -o "$work/turned.bmp" >/dev/null || fail "tourpack render of the turned view"
tourpack render "$work/walk.exe" --scene 3 --pan 0 --tilt -4 --fov 70 --size "${vw}x${vh}" \
  -o "$work/arrived.bmp" >/dev/null || fail "tourpack render of the link's view"
for end in turned arrived; do convert "$work/$end.bmp" "$work/$end.ppm"; done

python3 "$source/tests/shell/grab_series.py" "$work/frames" $vx $vy $vw $vh 4 &
series=$!
sleep 0.3
key Tab Return
wait "$series" || fail "the screen could not be read"
check "the last frame shows the link's scene at its view" \
  wait_until 20 status_reads "Harbour Town(3-5)-Lighthouse Point"
settle walk-arrived $vx $vy $vw $vh

# between.py: for each frame, the share of pixels (every seventh) within the
# two ends (JPEG decoders differ by a few levels: 12 levels of slack) and
# the shares that differ from each end by more than that; "between" holds
# for a frame that lies between them and is neither.
cat >"$work/between.py" <<'PY'
import glob, sys
def read(path):  # the pixels of a binary PPM
    data, at, fields = open(path, "rb").read(), 0, []
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    return data[at + 1:]
a, b = read(sys.argv[1]), read(sys.argv[2])
slack, found = 12, []
for frame in sorted(glob.glob(sys.argv[3] + "/*.ppm")):
    f = read(frame)
    n = within = off_a = off_b = 0
    for i in range(0, min(len(a), len(b), len(f)), 21):
        for c in range(3):
            lo, hi = sorted((a[i + c], b[i + c]))
            n += 1
            within += lo - slack <= f[i + c] <= hi + slack
            off_a += abs(f[i + c] - a[i + c]) > slack
            off_b += abs(f[i + c] - b[i + c]) > slack
    found.append((frame, within / n, off_a / n, off_b / n))
between = [x for x in found if x[1] > 0.97 and x[2] > 0.2 and x[3] > 0.2]
for frame, w, da, db in found:
    print(f"{frame[-8:]}: {w:.2f} within, {da:.2f} off the turned view, {db:.2f} off the arrival")
sys.exit(0 if between else 1)
PY
check "a frame of the walk lies between the two scenes' views and is neither" \
  python3 "$work/between.py" "$work/turned.ppm" "$work/arrived.ppm" "$work/frames"
probe close
finish
conclude
