"""Makes the contact sheet of the skin (assets/preview/skin-sheet.png) from the pictures.

The pictures are shown over a desktop-like colour, as the colour-keyed windows show them.
Usage: make_sheet.py ASSETS_DIR OUT.png
"""

import os
import subprocess
import sys
import tempfile

import dances
from skinlib import CONVERT

DESKTOP = "#3F6F7F"
CHECKER = "#4F8191"
FONT = "DejaVu-Sans"


def montage(files, out, tile, scale, labels=None, geometry="+6+6"):
    cmd = ["montage", "-background", DESKTOP, "-fill", "#F3EFFF", "-font", FONT,
           "-pointsize", "11"]
    for i, f in enumerate(files):
        if labels:
            cmd += ["-label", labels[i]]
        cmd.append(f)
    cmd += ["-geometry", geometry, "-tile", tile, out]
    subprocess.run(cmd, check=True)
    if scale != 1:
        subprocess.run([CONVERT, out, "-scale", f"{scale * 100}%", out], check=True)


def frame(gif, index, out):
    """One frame over a desktop checkerboard, so every see-through pixel shows as such."""
    tile = os.path.join(os.path.dirname(out), "checker.png")
    if not os.path.exists(tile):
        subprocess.run([CONVERT, "-size", "8x8", f"xc:{DESKTOP}", "-fill", CHECKER, "-draw",
                        "rectangle 0,0 3,3 rectangle 4,4 7,7", tile], check=True)
    size = subprocess.run(["identify", "-format", "%wx%h", f"{gif}[{index}]"], check=True,
                          capture_output=True, text=True).stdout
    subprocess.run([CONVERT, "-size", size, f"tile:{tile}", f"{gif}[{index}]", "-composite", out],
                   check=True)
    return out


def main(assets, out):
    pics = os.path.join(assets, "pictures")
    with tempfile.TemporaryDirectory() as tmp:
        rows = []

        def row(title, files, tile, scale=2, labels=None):
            path = os.path.join(tmp, f"row{len(rows)}.png")
            montage(files, path, tile, scale, labels)
            titled = os.path.join(tmp, f"titled{len(rows)}.png")
            subprocess.run([CONVERT, path, "-background", DESKTOP, "-fill", "#FFE27A", "-font",
                            FONT, "-pointsize", "18", "-gravity", "NorthWest", "-splice", "0x26",
                            "-annotate", "+10+4", title, titled], check=True)
            rows.append(titled)

        def p(name):
            return frame(os.path.join(pics, name), 0, os.path.join(tmp, name + ".png"))

        row("Main window", [p(n) for n in (
            "decorPicture1.gif", "decorPicture2.gif", "discPicture.gif", "playButton-play.gif",
            "playButton-play-hot.gif", "playButton-pause.gif", "playButton-pause-hot.gif",
            "previousButton.gif", "previousButton-hot.gif", "nextButton.gif",
            "nextButton-hot.gif", "modeButton.gif", "modeButton-hot.gif", "volumeButton.gif",
            "volumeButton-hot.gif", "speaker.gif", "speaker-muted.gif", "speaker-hot.gif")], "9x2")
        turning = os.path.join(pics, "discPicture-turning.gif")
        row("Status frames 0-5 and the turning disc",
            [p(f"statusPicture{i}.gif") for i in range(6)]
            + [frame(turning, i, os.path.join(tmp, f"disc{i}.png")) for i in (0, 2, 4)], "9x1")
        faces = []
        for size in ("80x22", "48x22", "70x22", "105x22", "44x22", "45x22", "68x22", "20x20"):
            faces += [p(f"face-{size}.gif"), p(f"face-{size}-hot.gif")]
        row("Button faces (normal, hot)", faces, "8x2")
        row("Help window and web window", [p(n) for n in (
            "feedbackPicture.gif", "spaceButton.gif", "spaceButton-hot.gif", "sinaWeiboButton.gif",
            "sinaWeiboButton-hot.gif", "tencentWeiboButton.gif", "tencentWeiboButton-hot.gif",
            "webPicButton.gif", "webPicButton-hot.gif")], "9x1")
        firsts, labels = [], []
        for i, (_, count, _) in enumerate(dances.DANCES):
            gif = os.path.join(pics, f"dance{i + 1:02d}.gif")
            firsts.append(frame(gif, count // 4, os.path.join(tmp, f"d{i}.png")))
            labels.append(f"{i + 1}")
        row("Kivo's thirteen dances", firsts, "7x2", 2, labels)
        subprocess.run([CONVERT, "-background", DESKTOP, *rows, "-gravity", "West", "-append",
                        "+repage", "-bordercolor", DESKTOP, "-border", "8", "-colors", "255",
                        "+dither",
                        "-define", "png:exclude-chunks=date,time",
                        f"PNG8:{out}"], check=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
