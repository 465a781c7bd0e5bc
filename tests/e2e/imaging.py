"""Pixels of screenshots, read with ImageMagick."""
import subprocess

CONVERT = "/usr/bin/convert"


def pixel(png, x, y):
    """(r, g, b) of one pixel."""
    out = subprocess.run([CONVERT, "%s[1x1+%d+%d]" % (png, x, y), "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True).stdout
    # "0,0: (255,0,255)  #FF00FF  magenta"
    hexpart = out.strip().splitlines()[-1].split("#")[1][:6]
    return tuple(int(hexpart[i:i + 2], 16) for i in (0, 2, 4))


def crop(png, x, y, w, h, out):
    subprocess.run([CONVERT, png, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", out],
                   check=True)
    return out


def close(a, b, tolerance=24):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))
