"""Runs examples/plot as a user would and reads its pictures back.

One formula saved as PNG, BMP and JPEG: Pillow must decode the PNG and BMP to
the same pixels and the JPEG to within 30 dB PSNR of them; ImageMagick's
identify must show the formula as the PNG's comment. A formula that does not
compile must fail and leave no file. A missing tool skips (exit 77), except
under CI.
"""
import math
import os
import shutil
import subprocess
import sys

FORMULA = "Y = sin(X)*X"
SKIP = 77


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

    for error in errors:
        print(error)
    print(f"{len(errors)} problems")
    return 0 if not errors else 1


if __name__ == "__main__":
    sys.exit(main())
