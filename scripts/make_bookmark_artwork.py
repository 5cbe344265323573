#!/usr/bin/env python3
"""Draws the bookmark cell pictures as PNG files.

    make_bookmark_artwork.py OUTPUT_FOLDER

Bookmark.png: a 64x48 ribbon marker, a rounded tab on the left with a notched tail, in red.
Atom.png: a fully transparent 2x2 picture, the invisible stand-in of a hidden bookmark.
Pure Python (zlib only), so the pictures can be made again anywhere.
"""
import pathlib
import sys

from artwork_png import png


def bookmark(x, y):
    # A horizontal ribbon: body from x 4 to 60, y 8 to 40, with a V notch cut into its right end.
    top, bottom, left, right = 8, 40, 4, 60
    middle = (top + bottom) / 2
    notch = 12
    inside = top <= y < bottom and left <= x < right
    if inside and x >= right - notch * (1 - abs(y + 0.5 - middle) / (middle - top)):
        inside = False
    if not inside:
        return (0, 0, 0, 0)
    # A lighter band along the top edge gives the ribbon some depth.
    if y < top + 4:
        return (236, 92, 82, 255)
    if y >= bottom - 3:
        return (150, 24, 20, 255)
    return (208, 40, 34, 255)


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "Bookmark.png").write_bytes(png(64, 48, bookmark))
    (folder / "Atom.png").write_bytes(png(2, 2, lambda x, y: (0, 0, 0, 0)))


if __name__ == "__main__":
    main()
