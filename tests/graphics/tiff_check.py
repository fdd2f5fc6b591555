"""Independent decoders read TIFF files: Pillow, ImageMagick's compare and
libtiff's tiffinfo and tiffdump must all accept each file and give exactly the reference
pixels (raw RGBA). Arguments: triples of tiff file, reference file, "WxH".
A missing tool skips (exit 77), except under CI, where it fails.
"""
import os
import subprocess
import sys

TOOLS = ["/usr/bin/compare", "/usr/bin/tiffinfo", "/usr/bin/tiffdump"]


def main() -> int:
    missing = [tool for tool in TOOLS if not os.access(tool, os.X_OK)]
    try:
        from PIL import Image
    except ImportError:
        missing.append("Pillow")
    if missing:
        print("missing:", " ".join(missing))
        return 1 if os.environ.get("CI") else 77
    errors = []
    args = sys.argv[1:]
    for i in range(0, len(args), 3):
        path, ref, size = args[i : i + 3]
        width, height = (int(v) for v in size.split("x"))
        with open(ref, "rb") as f:
            reference = f.read()
        with Image.open(path) as image:
            rgba = image.convert("RGBA").tobytes()
            if image.size != (width, height) or rgba != reference:
                errors.append(f"{path}: Pillow pixels differ ({image.mode} {image.size})")
        result = subprocess.run(["/usr/bin/compare", "-metric", "AE", path, "-size",
                                 f"{width}x{height}", "-depth", "8", f"rgba:{ref}", "null:"],
                                capture_output=True)
        out = (result.stdout + result.stderr).decode("latin-1").strip()
        if result.returncode != 0 or out.split()[:1] != ["0"]:
            errors.append(f"{path}: compare AE {out!r}")
        result = subprocess.run(["/usr/bin/tiffinfo", "-D", path], capture_output=True)
        if result.returncode != 0 or result.stderr:
            errors.append(f"{path}: tiffinfo {result.stderr.decode('latin-1')!r}")
        result = subprocess.run(["/usr/bin/tiffdump", path], capture_output=True)
        if result.returncode != 0 or result.stderr:
            errors.append(f"{path}: tiffdump {result.stderr.decode('latin-1')!r}")
    for error in errors:
        print(error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
