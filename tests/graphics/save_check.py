"""Independent decoders read what the image writers wrote.

Runs the save_corpus program into a folder, then for every picture it lists:
Pillow (not for XWD and EPS), ImageMagick's identify and compare (from
/usr/bin, not for EPS) and, for PNG, pngcheck must read the file; BMP, PNG,
PNM and XWD must give exactly the reference pixels, JPEG must come within
30 dB PSNR of them; PNG and JPEG must carry the comment. Ghostscript renders
each EPS file on an A4 page, where the centre of every picture pixel's cell,
placed independently here, must show the reference colour. A missing tool
skips the check (exit 77), except under CI, where it fails.
"""
import math
import os
import shutil
import subprocess
import sys

COMMENT = "Zelvaro Testbild \u00e4\u00f6\u00fc"
TOOLS = ["/usr/bin/identify", "/usr/bin/compare", "/usr/bin/pngcheck", "/usr/bin/gs"]
# Formats without a Pillow reader, and those ImageMagick only reaches through
# Ghostscript.
NOT_PILLOW = {"xwd", "eps"}
NOT_MAGICK = {"eps"}
# Formats without an alpha channel, whatever ImageMagick guesses.
NO_ALPHA = {"bmp", "pnm", "xwd"}
SKIP = 77


def psnr(a: bytes, b: bytes) -> float:
    # RGB only: the fourth byte of a reference without alpha is always 255.
    total = 0
    count = 0
    for i in range(0, len(a), 4):
        for c in range(3):
            d = a[i + c] - b[i + c]
            total += d * d
        count += 3
    return 99.0 if total == 0 else 10 * math.log10(255 * 255 * count / total)


def check_pillow(path, fmt, width, height, reference, mode, comment, errors):
    from PIL import Image

    with Image.open(path) as image:
        if image.size != (width, height):
            errors.append(f"{path}: Pillow size {image.size}")
            return
        rgba = image.convert("RGBA").tobytes()
        if fmt == "png" and comment:
            if image.info.get("Comment") != COMMENT:
                errors.append(f"{path}: Pillow comment {image.info.get('Comment')!r}")
        if fmt == "jpg" and comment:
            if image.info.get("comment") != COMMENT.encode("latin-1") + b"\0":
                errors.append(f"{path}: Pillow COM {image.info.get('comment')!r}")
    if mode == "exact":
        if rgba != reference:
            bad = next(i for i in range(len(rgba)) if rgba[i] != reference[i])
            errors.append(f"{path}: Pillow pixel byte {bad} differs")
    elif psnr(rgba, reference) < 30:
        errors.append(f"{path}: Pillow PSNR {psnr(rgba, reference):.1f}")


def run(args):
    # ImageMagick prints a tEXt comment in its own Latin-1 bytes.
    result = subprocess.run(args, capture_output=True)
    return result.returncode, (result.stdout + result.stderr).decode("latin-1")


def check_magick(path, fmt, width, height, reference_path, mode, comment, errors):
    code, out = run(["/usr/bin/identify", "-format", "%w %h|%c", path])
    if code != 0:
        errors.append(f"{path}: identify failed: {out}")
        return
    size, _, text = out.partition("|")
    if size.split() != [str(width), str(height)]:
        errors.append(f"{path}: identify size {size}")
    if comment and fmt == "png" and text != COMMENT:
        errors.append(f"{path}: identify comment {text!r}")
    metric = "AE" if mode == "exact" else "PSNR"
    # The fourth byte of a 32-bit BMP is no alpha channel, whatever ImageMagick guesses.
    code, out = run(["/usr/bin/compare", "-metric", metric, "-alpha",
                     "off" if fmt in NO_ALPHA else "on", path, "-size",
                     f"{width}x{height}", "-depth", "8", f"rgba:{reference_path}", "null:"])
    value = out.strip().split()[0] if out.strip() else ""
    if mode == "exact":
        if code != 0 or value != "0":
            errors.append(f"{path}: compare AE {out.strip()!r}")
    else:
        try:
            ok = value == "inf" or float(value) >= 30
        except ValueError:
            ok = False
        if not ok:
            errors.append(f"{path}: compare PSNR {out.strip()!r}")


def eps_placement(width, height):
    """The page placement in points: lower left corner and points per pixel."""
    by_height, by_width = 811 / height, 565 / width
    if by_height <= by_width:
        return (595 - math.trunc(width * by_height)) // 2, 15, by_height
    return 15, (841 - math.trunc(height * by_width)) // 2, by_width


def read_ppm(data):
    """Width, height and samples of a binary PPM with optional comments."""
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    return int(fields[1]), int(fields[2]), data[at + 1:]


def check_ghostscript(path, width, height, reference, errors):
    x0, y0, scale = eps_placement(width, height)
    with open(path, "rb") as f:
        text = f.read()
    box = f"%%BoundingBox: {x0} {y0} {595 - x0} {841 - y0}\n".encode()
    if box not in text:
        errors.append(f"{path}: no {box!r}")
    dpi = 144
    page = path + ".ppm"
    code, out = run(["/usr/bin/gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ppmraw",
                     f"-r{dpi}", "-dDEVICEWIDTHPOINTS=595", "-dDEVICEHEIGHTPOINTS=841",
                     "-dFIXEDMEDIA", f"-sOutputFile={page}", path])
    if code != 0:
        errors.append(f"{path}: gs failed: {out}")
        return
    with open(page, "rb") as f:
        ppm = f.read()
    os.remove(page)
    pw, ph, pixels = read_ppm(ppm)
    zoom = dpi / 72
    for y in range(height):
        for x in range(width):
            # Pixel centres in points, y upwards from the page's foot; the
            # first row is at the top.
            px = x0 + 0.25 + (x + 0.5) * scale
            py = y0 + 0.25 + (height - y - 0.5) * scale
            col, row = int(px * zoom), ph - 1 - int(py * zoom)
            at = 3 * (row * pw + col)
            want = reference[4 * (y * width + x):4 * (y * width + x) + 3]
            if pixels[at:at + 3] != want:
                errors.append(f"{path}: gs pixel {x},{y} is {pixels[at:at + 3].hex()}, "
                              f"not {want.hex()}")
                return


def check_pngcheck(path, comment, errors):
    code, out = run(["/usr/bin/pngcheck", "-vt", path])
    if code != 0:
        errors.append(f"{path}: pngcheck: {out}")
    elif comment and "Comment" not in out:
        errors.append(f"{path}: pngcheck shows no comment: {out}")


def main() -> int:
    generator, folder = sys.argv[1], sys.argv[2]
    in_ci = bool(os.environ.get("CI"))
    missing = [tool for tool in TOOLS if not os.access(tool, os.X_OK)]
    try:
        import PIL  # noqa: F401
    except ImportError:
        missing.append("Pillow")
    if missing:
        print("missing:", " ".join(missing))
        return 1 if in_ci else SKIP
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    if subprocess.run([generator, folder]).returncode != 0:
        print("the generator failed")
        return 1
    errors = []
    count = 0
    with open(os.path.join(folder, "manifest.txt")) as manifest:
        for line in manifest:
            name, fmt, width, height, ref, mode, comment = line.split()
            path = os.path.join(folder, name)
            ref_path = os.path.join(folder, ref)
            with open(ref_path, "rb") as f:
                reference = f.read()
            width, height, comment = int(width), int(height), comment == "1"
            if fmt not in NOT_PILLOW:
                check_pillow(path, fmt, width, height, reference, mode, comment, errors)
            if fmt not in NOT_MAGICK:
                check_magick(path, fmt, width, height, ref_path, mode, comment, errors)
            if fmt == "eps":
                check_ghostscript(path, width, height, reference, errors)
            if fmt == "png":
                check_pngcheck(path, comment, errors)
            count += 1
    for error in errors:
        print(error)
    print(f"{count} pictures checked, {len(errors)} problems")
    return 0 if count > 0 and not errors else 1


if __name__ == "__main__":
    sys.exit(main())
