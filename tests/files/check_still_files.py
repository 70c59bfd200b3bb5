"""Decodes still files with Pillow and compares them with the source image they were written from.

usage: check_still_files.py MANIFEST
Each manifest line: path type depth width height stride source_path
(source_path holds the image's pixel block, memory row 0 = top line, rows padded to stride).
The expected picture is derived here from the source bytes, independently of the writers.
Prints one line per failure and a summary; exits 1 when anything failed.
"""
import struct
import sys

from PIL import Image

JPEG_MEAN_ERROR = {2: 1.5, 3: 3.0, 4: 6.0}
JPEG_MAX_ERROR = 48


def samples(src, depth, width, height, stride):
    """Rows of pixels, each pixel a tuple of its samples in memory order (B, G, R, 4th)."""
    wide = depth in (16, 48, 64)
    per_pixel = depth // 8 // (2 if wide else 1)
    rows = []
    for y in range(height):
        row = []
        base = y * stride
        for x in range(width):
            if wide:
                off = base + x * per_pixel * 2
                px = struct.unpack_from("<%dH" % per_pixel, src, off)
            else:
                off = base + x * per_pixel
                px = tuple(src[off:off + per_pixel])
            row.append(px)
        rows.append(row)
    return rows


def expected_lossless(kind, depth, px):
    """Pillow's view of one pixel of a BMP, PNG or TIFF file."""
    if depth == 8:
        return px[0]
    if depth == 16:
        if kind == "bmp":  # the word read as 5-5-5 RGB
            w = px[0]
            return tuple(((w >> s) & 31) * 255 // 31 for s in (10, 5, 0))
        return (px[0] << 6) & 0xFFFF
    if depth == 24:
        return (px[2], px[1], px[0])
    if depth == 32:
        if kind == "bmp":
            return (px[2], px[1], px[0])
        alpha = 255 - px[3] if kind == "png" else 0
        return (px[2], px[1], px[0], alpha)
    # 48 and 64: Pillow keeps the high byte of each 16-bit sample
    rgb = (((px[2] << 6) & 0xFFFF) >> 8, ((px[1] << 6) & 0xFFFF) >> 8, ((px[0] << 6) & 0xFFFF) >> 8)
    return rgb + ((255,) if depth == 64 else ())


def expected_jpeg(depth, px):
    if depth == 8:
        return (px[0],)
    if depth == 16:
        return ((px[0] >> 2) & 255,)
    shift = 2 if depth >= 48 else 0
    return tuple((px[k] >> shift) & 255 for k in (2, 1, 0))


def check(path, ftype, depth, width, height, stride, src_path):
    src = open(src_path, "rb").read()
    rows = samples(src, depth, width, height, stride)
    kind = {0: "bmp", 5: "png", 6: "tiff"}.get(ftype, "jpeg")
    if kind == "bmp" and depth in (48, 64):
        # No common reader takes these depths; the header must still describe them.
        head = open(path, "rb").read(54)
        if head[:2] != b"BM" or struct.unpack_from("<H", head, 28)[0] != depth:
            return "header does not describe a %d-bit BMP" % depth
        try:
            Image.open(path).load()
            return "Pillow unexpectedly decoded a %d-bit BMP" % depth
        except Exception:
            return None
    im = Image.open(path)
    im.load()
    if im.size != (width, height):
        return "size %s, expected %s" % (im.size, (width, height))
    if kind == "jpeg":
        if not im.info.get("progressive"):
            return "JPEG is not progressive"
        want_mode = "L" if depth <= 16 else "RGB"
        if im.mode != want_mode:
            return "mode %s, expected %s" % (im.mode, want_mode)
        total, count, worst = 0, 0, 0
        for y in range(height):
            for x in range(width):
                got = im.getpixel((x, y))
                got = got if isinstance(got, tuple) else (got,)
                for e, a in zip(expected_jpeg(depth, rows[y][x]), got):
                    total += abs(e - a)
                    count += 1
                    worst = max(worst, abs(e - a))
        mean = total / count
        if mean > JPEG_MEAN_ERROR[ftype] or worst > JPEG_MAX_ERROR:
            return "JPEG differs from the source: mean %.2f, worst %d" % (mean, worst)
        return None
    for y in range(height):
        for x in range(width):
            want = expected_lossless(kind, depth, rows[y][x])
            got = im.getpixel((x, y))
            if isinstance(want, tuple) and kind == "bmp" and depth == 16:
                if any(abs(a - b) > 1 for a, b in zip(want, got)):
                    return "pixel (%d, %d): expected %s, got %s" % (x, y, want, got)
            elif got != want:
                return "pixel (%d, %d): expected %s, got %s (mode %s)" % (x, y, want, got, im.mode)
    return None


def main():
    failures = 0
    lines = [l.split() for l in open(sys.argv[1]) if l.strip()]
    for path, ftype, depth, width, height, stride, src_path in lines:
        try:
            problem = check(path, int(ftype), int(depth), int(width), int(height), int(stride), src_path)
        except Exception as error:  # a file Pillow cannot read
            problem = "does not decode: %s" % error
        if problem:
            failures += 1
            print("FAIL %s (type %s, depth %s): %s" % (path, ftype, depth, problem))
    print("checked %d files, %d failed" % (len(lines), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
