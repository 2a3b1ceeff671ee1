"""Renders Kivo's application icon: the badge of the main window (Kivo's head on a sunshine
burst) as a scalable SVG and as PNGs at the sizes desktops look for in the hicolor theme.

Unlike the window pictures, icons keep real transparency: a desktop draws them over any colour.

Usage: python3 make_icons.py [OUTDIR]   (default: assets/icons; needs rsvg-convert)
"""

import os
import subprocess
import sys

import controls

ICON_NAME = "io.github.kivo.Kivo"
SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "assets", "icons")
    # The theme's own layout: SIZE/apps/NAME.
    scalable = os.path.join(outdir, "scalable", "apps")
    os.makedirs(scalable, exist_ok=True)
    svg = os.path.join(scalable, ICON_NAME + ".svg")
    with open(svg, "w", encoding="utf-8") as f:
        f.write(controls.decor1() + "\n")
    for size in SIZES:
        folder = os.path.join(outdir, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        png = os.path.join(folder, ICON_NAME + ".png")
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o", png, svg],
                       check=True)
        print(f"{size}x{size}/apps/{ICON_NAME}.png: {os.path.getsize(png)} bytes")


if __name__ == "__main__":
    main(sys.argv)
