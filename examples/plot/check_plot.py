"""Runs examples/plot as a user would and reads its pictures back.

One formula saved as PNG, BMP and JPEG: Pillow must decode the PNG and BMP to
the same pixels and the JPEG to within 30 dB PSNR of them; ImageMagick's
identify must show the formula as the PNG's comment. A formula that does not
compile must fail and leave no file. Sizes out of bounds get a usage that
says the bounds; charts of extreme ranges label both axes and keep the labels
inside the picture. A missing tool skips (exit 77), except under CI.
"""
import math
import os
import shutil
import subprocess
import sys

FORMULA = "Y = sin(X)*X"
SKIP = 77


LABEL = (0x20, 0x20, 0x20)  # the colour of the tick labels and the title


def label_rows(image, x0, x1):
    """The separate bands of rows holding label ink in columns x0..x1-1."""
    bands, inside = 0, False
    for y in range(image.height):
        ink = any(image.getpixel((x, y)) == LABEL for x in range(x0, x1))
        bands += ink and not inside
        inside = ink
    return bands


def check_limits_and_labels(plot, folder, Image):
    errors = []
    # Sizes outside the limits get the usage, which says the limits.
    for size in (["101", "77"], ["120", "79"], ["32769", "600"]):
        result = subprocess.run([plot, FORMULA, os.path.join(folder, "s.png"), "-1", "1"] + size,
                                capture_output=True, text=True)
        if result.returncode != 2 or "120-32768" not in result.stderr \
                or "80-32768" not in result.stderr:
            errors.append(f"size {size}: {result.returncode} {result.stderr!r}")
    # Extreme ranges: at least two y labels left of the plot area, and the
    # x labels inside the picture with one near its right edge.
    cases = [("Y = 1e300*X*X", "-10", "10", 800, 600),
             ("Y = 1e300*X*X", "-10", "10", 120, 80),
             ("Y = 1e300*X*X", "-1e5", "1e5", 800, 600),  # every value beyond 1e300
             ("Y = X", "0", "1e-320", 800, 600),
             ("Y = X", "0", "5e-324", 300, 200),
             ("Y = X*1e-310", "1e300", "1.0000001e300", 640, 400)]
    for number, (formula, lo, hi, width, height) in enumerate(cases):
        path = os.path.join(folder, f"range{number}.png")
        result = subprocess.run([plot, formula, path, lo, hi, str(width), str(height)],
                                capture_output=True, text=True)
        if result.returncode != 0:
            errors.append(f"{formula} {lo} {hi}: plot failed: {result.stderr}")
            continue
        with Image.open(path) as image:
            image = image.convert("RGB")
            if label_rows(image, 0, 56) < 2:
                errors.append(f"{formula} {lo} {hi} {width}x{height}: fewer than two y labels")
            band = range(height - 24, height)
            if any(image.getpixel((width - 1, y)) == LABEL for y in band):
                errors.append(f"{formula} {lo} {hi} {width}x{height}: an x label is cut")
            if not any(image.getpixel((x, y)) == LABEL for x in range(width - 60, width)
                       for y in band):
                errors.append(f"{formula} {lo} {hi} {width}x{height}: no last x label")
    return errors


def main() -> int:
    plot, folder = sys.argv[1], sys.argv[2]
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

    for error in errors:
        print(error)
    print(f"{len(errors)} problems")
    return 0 if not errors else 1


if __name__ == "__main__":
    sys.exit(main())
