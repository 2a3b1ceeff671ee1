"""Renders every picture of the skin into a folder (default: assets/pictures).

Usage: python3 make_pictures.py [OUTDIR] [NAME ...]   (names limit the run to those pictures)
"""

import os
import sys

import asset_names
import controls
import dances
import kivo
import skinlib


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "assets", "pictures")
    only = set(argv[2:])
    os.makedirs(outdir, exist_ok=True)
    for name, width, height, key, animated in asset_names.pictures():
        if only and name not in only:
            continue
        out = os.path.join(outdir, name)
        if name.startswith("dance"):
            fn, count, delay = dances.DANCES[int(name[5:7]) - 1]
            frames = [skinlib.svg_doc(width, height, fn(i / count), kivo.DEFS)
                      for i in range(count)]
            skinlib.render_animation(frames, width, height, key, out, delay)
        elif name in controls.ANIMATIONS:
            makers, delay = controls.ANIMATIONS[name]
            skinlib.render_animation([m() for m in makers], width, height, key, out, delay)
        else:
            size = asset_names.EXACT_BYTES.get(name)
            skinlib.render_picture(controls.PICTURES[name](), width, height, key, out,
                                   max_bytes=size - 5 if size else None)
        size = asset_names.EXACT_BYTES.get(name)
        if size:
            skinlib.pad_gif(out, size)
        print(f"{name}: {os.path.getsize(out)} bytes")


if __name__ == "__main__":
    main(sys.argv)
