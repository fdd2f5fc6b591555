"""Runs examples/plot as a user would and reads its pictures back.

One formula saved as PNG, BMP and JPEG: Pillow must decode the PNG and BMP to
the same pixels and the JPEG to within 30 dB PSNR of them; ImageMagick's
identify must show the formula as the PNG's comment. A formula that does not
compile must fail and leave no file. A bad argument is named before the
usage; charts of extreme values keep the curve inside the frame and the
labels outside it and apart; text goes in and out as UTF-8; a failed save
says why; the usage lists every format SaveImage writes. A missing tool skips
(exit 77), except under CI.
"""
import math
import os
import re
import shutil
import subprocess
import sys

FORMULA = "Y = sin(X)*X"
SKIP = 77


LABEL = (0x20, 0x20, 0x20)  # the colour of the tick labels and the title
AXIS = (0x40, 0x40, 0x40)  # the frame, zero lines and tick marks
WHITE = (0xFF, 0xFF, 0xFF)


def label_rows(image, x0, x1):
    """The separate bands of rows holding label ink in columns x0..x1-1."""
    bands, inside = 0, False
    for y in range(image.height):
        ink = any(image.getpixel((x, y)) == LABEL for x in range(x0, x1))
        bands += ink and not inside
        inside = ink
    return bands


def frame(image):
    """The frame: the outermost rows and columns that are mostly axis colour."""
    w, h = image.size
    px = image.load()
    rows = [y for y in range(h) if sum(px[x, y] == AXIS for x in range(w)) > w // 4]
    cols = [x for x in range(w) if sum(px[x, y] == AXIS for y in range(h)) > h // 4]
    return cols[0], rows[0], cols[-1], rows[-1]


def picture_errors(image):
    """Curve ink only inside the frame, label ink only outside it, at least
    two y labels left of it, x labels below it, none of them or the title
    cut at the picture's edge."""
    errors = []
    w, h = image.size
    px = image.load()
    left, top, right, bottom = frame(image)
    curve = 0
    for y in range(h):
        for x in range(w):
            colour = px[x, y]
            inside = left < x < right and top < y < bottom
            if inside:
                curve += colour not in (WHITE, AXIS, LABEL) and colour[2] > colour[0] + 40
                if colour == LABEL:
                    errors.append(f"label ink at {x},{y} inside the frame")
                    break
            elif colour not in (WHITE, AXIS, LABEL) and not (left <= x <= right and top <= y <= bottom):
                errors.append(f"curve ink at {x},{y} outside the frame {left},{top}-{right},{bottom}")
                break
        if errors:
            break
    if not curve and not errors:
        errors.append("no curve inside the frame")
    if label_rows(image.crop((0, 0, left, bottom + 6)), 0, left) < 2:
        errors.append("fewer than two y labels")
    band = range(h - 24, h)
    if any(px[w - 1, y] == LABEL or px[0, y] == LABEL for y in list(band) + list(range(top))):
        errors.append("a label or the title is cut at the picture's edge")
    if label_rows(image.crop((0, bottom + 1, w, h)), 0, w) < 1:
        errors.append("no x label")
    # x labels apart: every run of label columns (gaps under 4 pixels
    # joined) is one label: centred on its tick, or moved in from the
    # picture's edge over its one tick.
    ticks = [x for x in range(w) if px[x, bottom + 2] == AXIS]
    ink = [x for x in range(w) if any(px[x, y] == LABEL for y in range(bottom + 8, h))]
    runs = []
    for x in ink:
        if runs and x - runs[-1][1] < 4:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    centred = lambda a, b: any(abs(a + b - 2 * t) <= 4 for t in ticks)
    at_edge = lambda a, b: (a <= 4 or b >= w - 5) and sum(a <= t <= b for t in ticks) == 1
    if not all(centred(a, b) or at_edge(a, b) for a, b in runs):
        errors.append(f"x labels run into each other: {runs} over ticks {ticks}")
    return errors


# Formulas whose values reach the ends of the double range, or spread over
# very little; labels of every width; the smallest picture.
EXTREMES = [
    ("Y = 1e300*X*X", "-10", "10", 800, 600),
    ("Y = 1e300*X*X", "-10", "10", 120, 80),
    ("Y = 1e300*X*X", "-1e5", "1e5", 800, 600),  # every value beyond 1e300
    ("Y = 1e308*X", "-10", "10", 640, 400),
    ("Y = -1e308*X*X", "-10", "10", 640, 400),
    ("Y = X", "1e308", "1.7e308", 640, 400),
    ("Y = X", "-1.7e308", "1.7e308", 640, 400),
    ("Y = 1e-14*X", "-10", "10", 640, 400),
    ("Y = 1e-300*X", "-10", "10", 640, 400),
    ("Y = X", "1e-320", "2e-320", 640, 400),
    ("Y = X", "0", "5e-324", 300, 200),
    ("Y = X*1e-310", "1e300", "1.0000001e300", 640, 400),
    ("Y = X", "1000000", "1000000.001", 640, 400),
    ("Y = -1e300*X", "-9.995", "9.995", 640, 400),
    ("Y = sin(X)*X + 1e300*X*X + 12345.678", "-10", "10", 120, 80),
    ("Y = X", "-1e-300", "-0.9e-300", 120, 80),  # x labels wider than their spacing
    ("Y = (X == 0) ? 3 : 0/0", "-1", "1", 121, 80),  # one value, a dot
]

# Arguments refused before anything is drawn, and what the message names.
REFUSED = [
    (["-1", "1", "101", "77"], "width 101 is below 120"),
    (["-1", "1", "120", "79"], "height 79 is below 80"),
    (["-1", "1", "32769", "600"], "width 32769 is above 32768"),
    (["-1", "1", "120.5", "600"], "width 120.5 is not a whole number"),
    (["10", "-10"], "xmin 10 is not below xmax -10"),
    (["0", "nan"], "xmax 'nan' is not a finite number"),
    (["1"], "expected 2, 4 or 6 arguments"),
]


def check_limits_and_labels(plot, folder, Image):
    errors = []
    for extra, message in REFUSED:
        result = subprocess.run([plot, FORMULA, os.path.join(folder, "s.png")] + extra,
                                capture_output=True, text=True)
        first = result.stderr.split("\n")[0]
        if result.returncode != 2 or message not in first or "usage:" not in result.stderr \
                or "120-32768" not in result.stderr or os.path.exists(os.path.join(folder, "s.png")):
            errors.append(f"{extra}: {result.returncode} {result.stderr!r}")
    for number, (formula, lo, hi, width, height) in enumerate(EXTREMES):
        path = os.path.join(folder, f"range{number}.png")
        result = subprocess.run([plot, formula, path, lo, hi, str(width), str(height)],
                                capture_output=True, text=True)
        if result.returncode != 0:
            errors.append(f"{formula} {lo} {hi}: plot failed: {result.stderr}")
            continue
        with Image.open(path) as image:
            errors += [f"{formula} {lo} {hi} {width}x{height}: {e}"
                       for e in picture_errors(image.convert("RGB"))]
    # Values a few subnormals apart: the curve's flat runs stay off the frame.
    path = os.path.join(folder, "steps.png")
    subprocess.run([plot, "Y = X", path, "-5e-324", "5e-324", "120", "80"], capture_output=True)
    with Image.open(path) as image:
        image = image.convert("RGB")
        px = image.load()
        left, top, right, bottom = frame(image)
        drawn = sum(any(px[x, y] not in (WHITE, AXIS, LABEL) and px[x, y][2] > px[x, y][0] + 40
                        for y in range(top + 1, bottom)) for x in range(left + 1, right))
        if drawn < (right - left) * 3 // 4:
            errors.append(f"Y = X over two subnormals: curve in {drawn} of {right - left} columns")
    return errors


def check_messages(plot, folder, source):
    """UTF-8 in and out, the reason of a failed save, every format listed."""
    errors = []
    result = subprocess.run([plot, "Y = X\u00e4", os.path.join(folder, "u.png")],
                            capture_output=True)
    if result.returncode != 1 or b"character 6:\n  Y = X\xc3\xa4\n       ^" not in result.stderr:
        errors.append(f"UTF-8 formula: {result.stderr!r}")
    result = subprocess.run([plot, "Y = X\u2212 1", os.path.join(folder, "u.png")],
                            capture_output=True, text=True)
    if result.returncode != 1 or "character 6 of the formula (U+2212)" not in result.stderr:
        errors.append(f"a character beyond Latin-1: {result.stderr!r}")
    # The picture's comment is the formula in Latin-1.
    latin = os.path.join(folder, "latin.png")
    subprocess.run([plot, "Y = X\u00b2", latin], capture_output=True)
    comment = subprocess.run(["/usr/bin/identify", "-format", "%c", latin], capture_output=True)
    if comment.stdout not in (b"Y = X\xb2", b"Y = X\xc2\xb2"):
        errors.append(f"Latin-1 comment {comment.stdout!r}")

    locked = os.path.join(folder, "locked")
    os.makedirs(locked)
    os.chmod(locked, 0o555)
    saves = [(os.path.join(folder, "missing", "a.png"), "the folder does not exist")]
    if not os.access(locked, os.W_OK):  # root writes anyway
        saves.append((os.path.join(locked, "a.png"), "access denied"))
    for path, reason in saves:
        result = subprocess.run([plot, FORMULA, path], capture_output=True, text=True)
        if result.returncode != 3 or not result.stderr.rstrip().endswith(reason):
            errors.append(f"save to {path}: {result.stderr!r}")

    usage = subprocess.run([plot, "--help"], capture_output=True, text=True)
    found = re.search(r"formats by extension: (.*)", usage.stdout)
    listed = set(found.group(1).split()) if found else set()
    with open(os.path.join(source, "graphics", "save.cpp"), encoding="latin-1") as f:
        written = {e.lower() for e in re.findall(r'\{"\.([A-Z]+)", Make<', f.read())}
    if usage.returncode != 0 or listed != written:
        errors.append(f"usage lists {sorted(listed)}, SaveImage writes {sorted(written)}")
    for extension in sorted(listed):
        path = os.path.join(folder, "every." + extension)
        result = subprocess.run([plot, FORMULA, path, "-1", "1", "120", "80"],
                                capture_output=True, text=True)
        if result.returncode != 0 or os.path.getsize(path) == 0:
            errors.append(f"{extension}: {result.stderr!r}")
    return errors


def main() -> int:
    plot, folder, source = sys.argv[1], sys.argv[2], sys.argv[3]
    try:
        from PIL import Image
    except ImportError:
        print("missing: Pillow")
        return 1 if os.environ.get("CI") else SKIP
    if not os.access("/usr/bin/identify", os.X_OK):
        print("missing: /usr/bin/identify")
        return 1 if os.environ.get("CI") else SKIP
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    errors = []
    pixels = {}
    for ext in ("png", "bmp", "jpg"):
        path = os.path.join(folder, "sine." + ext)
        result = subprocess.run([plot, FORMULA, path, "-10", "10", "640", "400"],
                                capture_output=True, text=True)
        if result.returncode != 0:
            errors.append(f"{ext}: plot failed: {result.stderr}")
            continue
        with Image.open(path) as image:
            if image.size != (640, 400):
                errors.append(f"{ext}: size {image.size}")
            pixels[ext] = image.convert("RGB").tobytes()
    if "png" in pixels and "bmp" in pixels:
        if pixels["png"] != pixels["bmp"]:
            errors.append("PNG and BMP pixels differ")
        # The picture is more than its background: the curve and labels are there.
        if len(set(pixels["png"][i:i + 3] for i in range(0, len(pixels["png"]), 3))) < 4:
            errors.append("the picture has hardly any colours")
    if "png" in pixels and "jpg" in pixels:
        a, b = pixels["png"], pixels["jpg"]
        mse = sum((x - y) ** 2 for x, y in zip(a, b)) / len(a)
        psnr = 99 if mse == 0 else 10 * math.log10(255 * 255 / mse)
        if psnr < 30:
            errors.append(f"JPEG PSNR {psnr:.1f}")
    result = subprocess.run(["/usr/bin/identify", "-format", "%c",
                             os.path.join(folder, "sine.png")], capture_output=True)
    if result.stdout.decode("latin-1") != FORMULA:
        errors.append(f"identify comment {result.stdout!r}")

    bad = os.path.join(folder, "bad.png")
    result = subprocess.run([plot, "Y = sin(X", bad], capture_output=True, text=True)
    if result.returncode == 0 or os.path.exists(bad):
        errors.append("a formula that does not compile made a picture")
    if "^" not in result.stderr:
        errors.append(f"no error position: {result.stderr!r}")
    result = subprocess.run([plot, FORMULA, os.path.join(folder, "x.unknown")],
                            capture_output=True, text=True)
    if result.returncode == 0 or "Unbekanntes Datei Format." not in result.stderr:
        errors.append(f"an unknown extension: {result.returncode} {result.stderr!r}")

    errors += check_limits_and_labels(plot, folder, Image)
    errors += check_messages(plot, folder, source)

    for error in errors:
        print(error)
    print(f"{len(errors)} problems")
    return 0 if not errors else 1


if __name__ == "__main__":
    sys.exit(main())
