"""Independent decoders read a GIF file and print what they see, one fact a
line, for the GIF writer tests to compare with the pictures they saved.

    gif_dump.py file.gif...

Each file's lines follow a line "file <index>".

Pillow gives the file's facts and each frame's pixels as RGBA bytes (hex)
with its delay, disposal and, for palette frames, the palette indices;
ImageMagick's convert gives each frame's pixels independently. A missing
decoder exits with 77.
"""
import os
import subprocess
import sys

SKIP = 77


def pillow(path):
    from PIL import Image, GifImagePlugin

    # Every frame as it is shown, in RGBA, whatever its palette.
    GifImagePlugin.LOADING_STRATEGY = GifImagePlugin.LoadingStrategy.RGB_AFTER_FIRST
    with Image.open(path) as image:
        print("format", image.format)
        print("size", image.size[0], image.size[1])
        print("frames", getattr(image, "n_frames", 1))
        print("loop", image.info.get("loop", "none"))
        print("comment", image.info.get("comment", b"").hex())
        for index in range(getattr(image, "n_frames", 1)):
            image.seek(index)
            image.load()
            facts = [
                f"frame {index}",
                f"duration {image.info.get('duration', 'none')}",
                f"disposal {getattr(image, 'disposal_method', 'none')}",
                f"transparency {image.info.get('transparency', 'none')}",
            ]
            print(" ".join(facts))
            if image.mode == "P":
                print(f"indices {index}", image.tobytes().hex())
            print(f"rgba {index}", image.convert("RGBA").tobytes().hex())


def magick(path, frames):
    for index in range(frames):
        result = subprocess.run(
            ["/usr/bin/convert", f"{path}[{index}]", "-depth", "8", "rgb:-"], capture_output=True
        )
        if result.returncode != 0:
            print(f"magick-error {index}", result.stderr.decode("latin-1").replace("\n", " "))
            continue
        print(f"magick-rgb {index}", result.stdout.hex())


def main():
    try:
        import PIL  # noqa: F401
    except ImportError:
        print("missing Pillow")
        return SKIP
    if not os.access("/usr/bin/convert", os.X_OK):
        print("missing ImageMagick")
        return SKIP
    from PIL import Image

    for index, path in enumerate(sys.argv[1:]):
        print("file", index)
        try:
            pillow(path)
            with Image.open(path) as image:
                frames = getattr(image, "n_frames", 1)
        except Exception as error:  # a file Pillow refuses is a finding
            print("pillow-error", repr(error).replace("\n", " "))
            frames = 1
        magick(path, frames)
    return 0


if __name__ == "__main__":
    sys.exit(main())
