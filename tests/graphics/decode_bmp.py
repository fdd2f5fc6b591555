"""Decodes a BMP file with Pillow and prints its pixels for the C++ peer test.

Output: "width height", then one line per row from the top, each pixel as six
hex digits RRGGBB separated by spaces.
"""
import sys

from PIL import Image


def main() -> int:
    with Image.open(sys.argv[1]) as image:
        rgb = image.convert("RGB")
        width, height = rgb.size
        print(width, height)
        pixels = rgb.load()
        for y in range(height):
            print(" ".join("%02X%02X%02X" % pixels[x, y] for x in range(width)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
