"""Decodes a picture file with Pillow and prints what the sample tests compare.

usage: picture_summary.py PATH
Prints one line: WIDTH HEIGHT MODE  LEFT_R LEFT_G LEFT_B  RIGHT_R RIGHT_G RIGHT_B  DISTINCT
where LEFT and RIGHT are the mean colours (8-bit scale) of the middle rows' left and right quarters
and DISTINCT the number of distinct colours in a 64 x 64 grid of samples. Exits 1 when the file
does not decode.
"""
import sys

from PIL import Image


def main():
    try:
        im = Image.open(sys.argv[1])
        im.load()
    except Exception as error:
        print("does not decode: %s" % error)
        return 1
    mode = im.mode
    if mode.startswith("I"):  # 16-bit gray: keep the high byte
        rgb = im.point(lambda v: v / 256).convert("L").convert("RGB")
    else:
        rgb = im.convert("RGB")
    w, h = rgb.size

    def mean(x0, x1):
        px = [rgb.getpixel((x, y)) for y in range(h * 3 // 8, h * 5 // 8, 8) for x in range(x0, x1, 8)]
        return [sum(p[c] for p in px) // len(px) for c in range(3)]

    left, right = mean(0, w // 4), mean(w * 3 // 4, w)
    distinct = len({rgb.getpixel((x * w // 64, y * h // 64)) for x in range(64) for y in range(64)})
    print(w, h, mode, *left, *right, distinct)
    return 0


if __name__ == "__main__":
    sys.exit(main())
