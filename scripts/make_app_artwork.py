#!/usr/bin/env python3
"""Draws the program's icon and the Prompt-mode recording light as PNG files.

    make_app_artwork.py OUTPUT_FOLDER

Orvane-128.png, Orvane-48.png: the program's icon, a dark blue rounded square holding lines of a
script, the one at the reading line brighter, with a yellow arrow pointing at it.
RecordingLight.png: a 64x64 red light with a darker rim and a soft highlight, which Prompt mode
draws over the icon's lower right corner.
Pure Python (zlib only), so the pictures can be made again anywhere; edges are smoothed by drawing
each pixel from 4 x 4 samples.
"""
import math
import pathlib
import sys

from artwork_png import png

SAMPLES = 4


def smoothed(shade):
    """A pixel function from shade(u, v) -> (r, g, b, a) or None, u and v in 0..1 of the picture."""

    def pixel_of(size):
        def pixel(x, y):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    u = (x + (sx + 0.5) / SAMPLES) / size
                    v = (y + (sy + 0.5) / SAMPLES) / size
                    colour = shade(u, v)
                    if colour is None:
                        continue
                    r, g, b, a = colour
                    total[0] += r * a
                    total[1] += g * a
                    total[2] += b * a
                    total[3] += a
            count = SAMPLES * SAMPLES
            alpha = total[3] / count
            if alpha <= 0:
                return (0, 0, 0, 0)
            return tuple(int(round(c / total[3])) for c in total[:3]) + (int(round(alpha * 255)),)

        return pixel

    return pixel_of


def inside_rounded_rect(u, v, left, top, right, bottom, radius):
    if not (left <= u <= right and top <= v <= bottom):
        return False
    cx = min(max(u, left + radius), right - radius)
    cy = min(max(v, top + radius), bottom - radius)
    return (u - cx) ** 2 + (v - cy) ** 2 <= radius * radius


# The script's lines: (top, length) in icon units; the third is the one at the reading line.
LINES = [(0.24, 0.52), (0.36, 0.44), (0.48, 0.56), (0.60, 0.40), (0.72, 0.50)]
READING_LINE = 2


def icon(u, v):
    if not inside_rounded_rect(u, v, 0.04, 0.04, 0.96, 0.96, 0.18):
        return None
    for index, (top, length) in enumerate(LINES):
        if inside_rounded_rect(u, v, 0.30, top, 0.30 + length, top + 0.065, 0.0325):
            if index == READING_LINE:
                return (255, 255, 255, 1.0)
            return (150, 170, 205, 1.0)
    # The reading-line arrow: a triangle pointing right at the brighter line.
    middle = LINES[READING_LINE][0] + 0.0325
    if 0.13 <= u <= 0.24 and abs(v - middle) <= (0.24 - u) * 0.55:
        return (255, 196, 40, 1.0)
    # A top-to-bottom shade of dark blue, a little lighter at the top.
    r = 38 - 18 * v
    g = 56 - 26 * v
    b = 104 - 44 * v
    return (r, g, b, 1.0)


def recording_light(u, v):
    du, dv = u - 0.5, v - 0.5
    distance = math.hypot(du, dv)
    if distance > 0.46:
        return None
    if distance > 0.40:
        return (120, 12, 10, 1.0)
    # Brighter towards a highlight up and to the left.
    highlight = max(0.0, 1.0 - math.hypot(u - 0.38, v - 0.34) / 0.30)
    r = 214 + 41 * highlight
    g = 30 + 150 * highlight ** 2
    b = 26 + 150 * highlight ** 2
    return (r, g, b, 1.0)


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    folder.mkdir(parents=True, exist_ok=True)
    for size in (128, 48):
        (folder / f"Orvane-{size}.png").write_bytes(png(size, size, smoothed(icon)(size)))
    (folder / "RecordingLight.png").write_bytes(png(64, 64, smoothed(recording_light)(64)))


if __name__ == "__main__":
    main()
