"""Drawing helpers and the colour-key pipeline of the Kivo skin.

Pictures are drawn as SVG text, rendered with rsvg-convert and then keyed: every pixel becomes
either fully opaque art or exactly the window's key colour.  Half-transparent edge pixels are
blended into the ink colour (never into white), so the layered windows show no white fringe.
"""

import math
import os
import re
import subprocess
import tempfile

CONVERT = "/usr/bin/convert"  # ImageMagick itself, whatever else is earlier on PATH
RSVG = "rsvg-convert"

WHITE = 0xFFFFFF
WEB_KEY = 0xECECEC

# The skin's palette.
INK = "#2B2150"
VIOLET = "#7B5CFF"
VIOLET_DARK = "#5537D6"
VIOLET_LIGHT = "#B9A7FF"
LAVENDER = "#E6DEFF"
TANGERINE = "#FF9F43"
TANGERINE_DARK = "#E9771E"
TANGERINE_LIGHT = "#FFC98A"
SUNSHINE = "#FFD93D"
SUNSHINE_PALE = "#FFEFA6"
MINT = "#2ED3A7"
MINT_DARK = "#17A883"
MINT_LIGHT = "#A6F0DA"
PINK = "#FF6FA3"
BLUSH = "#FF8FB5"
SKY = "#4CC3FF"
SKY_DARK = "#1E93D6"
RED = "#FF4D5E"
SNOW = "#FEFEFE"  # near-white art: never the key itself
GREY = "#9A93B5"

INK_RGB = (0x2B, 0x21, 0x50)

# Alpha at or above which a rendered pixel counts as art; below it the key shows through.
ART_ALPHA = 110


def hex_rgb(value):
    value = value.lstrip("#")
    return tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))


def key_rgb(key):
    return ((key >> 16) & 255, (key >> 8) & 255, key & 255)


# ---------------------------------------------------------------- SVG text helpers


def svg_doc(width, height, body, defs=""):
    # A fill that names a missing gradient renders as nothing, so the art would silently turn
    # see-through; refuse it here.
    for ref in set(re.findall(r"url\(#([\w-]+)\)", body)):
        if f'id="{ref}"' not in defs + body:
            raise ValueError(f"picture refers to undefined #{ref}")
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}"><defs>{defs}</defs>{body}</svg>')


def attrs(fill=None, stroke=None, sw=None, extra=""):
    out = []
    out.append(f'fill="{fill}"' if fill else 'fill="none"')
    if stroke:
        out.append(f'stroke="{stroke}" stroke-width="{sw if sw is not None else 2}" '
                   'stroke-linecap="round" stroke-linejoin="round"')
    if extra:
        out.append(extra)
    return " ".join(out)


def circle(cx, cy, r, fill=None, stroke=None, sw=None, extra=""):
    return f'<circle cx="{cx:.2f}" cy="{cy:.2f}" r="{r:.2f}" {attrs(fill, stroke, sw, extra)}/>'


def ellipse(cx, cy, rx, ry, fill=None, stroke=None, sw=None, extra=""):
    return (f'<ellipse cx="{cx:.2f}" cy="{cy:.2f}" rx="{rx:.2f}" ry="{ry:.2f}" '
            f'{attrs(fill, stroke, sw, extra)}/>')


def rect(x, y, w, h, rx=0, fill=None, stroke=None, sw=None, extra=""):
    return (f'<rect x="{x:.2f}" y="{y:.2f}" width="{w:.2f}" height="{h:.2f}" rx="{rx:.2f}" '
            f'{attrs(fill, stroke, sw, extra)}/>')


def path(d, fill=None, stroke=None, sw=None, extra=""):
    return f'<path d="{d}" {attrs(fill, stroke, sw, extra)}/>'


def line(x1, y1, x2, y2, stroke=INK, sw=2, extra=""):
    return path(f"M{x1:.2f},{y1:.2f} L{x2:.2f},{y2:.2f}", None, stroke, sw, extra)


def polygon(points, fill=None, stroke=None, sw=None, extra=""):
    pts = " ".join(f"{x:.2f},{y:.2f}" for x, y in points)
    return f'<polygon points="{pts}" {attrs(fill, stroke, sw, extra)}/>'


def text(x, y, s, size, fill=INK, weight="bold", anchor="middle", family="DejaVu Sans",
         stroke=None, sw=None, extra=""):
    st = ""
    if stroke:
        st = (f'stroke="{stroke}" stroke-width="{sw}" stroke-linejoin="round" '
              'paint-order="stroke"')
    return (f'<text x="{x:.2f}" y="{y:.2f}" font-family="{family}" font-size="{size}" '
            f'font-weight="{weight}" text-anchor="{anchor}" fill="{fill}" {st} {extra}>'
            f'{s}</text>')


def group(body, tx=0.0, ty=0.0, rot=0.0, cx=0.0, cy=0.0, sx=1.0, sy=1.0):
    """Translate by (tx, ty), then rotate by rot degrees and scale about (cx, cy)."""
    t = []
    if tx or ty:
        t.append(f"translate({tx:.2f},{ty:.2f})")
    if rot or sx != 1.0 or sy != 1.0:
        t.append(f"translate({cx:.2f},{cy:.2f})")
        if rot:
            t.append(f"rotate({rot:.2f})")
        if sx != 1.0 or sy != 1.0:
            t.append(f"scale({sx:.3f},{sy:.3f})")
        t.append(f"translate({-cx:.2f},{-cy:.2f})")
    return f'<g transform="{" ".join(t)}">{body}</g>' if t else f"<g>{body}</g>"


def radial(gid, inner, outer, fx=0.35, fy=0.3):
    return (f'<radialGradient id="{gid}" cx="0.5" cy="0.5" r="0.6" fx="{fx}" fy="{fy}">'
            f'<stop offset="0" stop-color="{inner}"/><stop offset="1" stop-color="{outer}"/>'
            '</radialGradient>')


def linear(gid, top, bottom, x2=0, y2=1):
    return (f'<linearGradient id="{gid}" x1="0" y1="0" x2="{x2}" y2="{y2}">'
            f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/>'
            '</linearGradient>')


def note(x, y, size=1.0, fill=INK, double=False, rot=0.0):
    """An eighth note (or a beamed pair) whose head sits at (x, y)."""
    s = size
    if double:
        body = (ellipse(x, y, 3.2 * s, 2.4 * s, fill, INK, 1, f'transform="rotate(-20 {x} {y})"')
                + ellipse(x + 8 * s, y - 2 * s, 3.2 * s, 2.4 * s, fill, INK, 1,
                          f'transform="rotate(-20 {x + 8 * s} {y - 2 * s})"')
                + line(x + 2.8 * s, y - 0.5 * s, x + 2.8 * s, y - 11 * s, INK, 1.6 * s)
                + line(x + 10.8 * s, y - 2.5 * s, x + 10.8 * s, y - 13 * s, INK, 1.6 * s)
                + path(f"M{x + 2.8 * s},{y - 11 * s} L{x + 10.8 * s},{y - 13 * s} "
                       f"L{x + 10.8 * s},{y - 10.5 * s} L{x + 2.8 * s},{y - 8.5 * s} Z",
                       INK, INK, 1))
    else:
        body = (ellipse(x, y, 3.4 * s, 2.6 * s, fill, INK, 1, f'transform="rotate(-20 {x} {y})"')
                + line(x + 3 * s, y - 0.6 * s, x + 3 * s, y - 12 * s, INK, 1.6 * s)
                + path(f"M{x + 3 * s},{y - 12 * s} q{4 * s},{2 * s} {4.5 * s},{6.5 * s}",
                       None, INK, 1.6 * s))
    return group(body, rot=rot, cx=x, cy=y) if rot else body


def star(cx, cy, r_out, r_in, points=5, rot=-90.0, fill=SUNSHINE, stroke=INK, sw=1.2):
    pts = []
    for i in range(points * 2):
        r = r_out if i % 2 == 0 else r_in
        a = math.radians(rot + i * 180.0 / points)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return polygon(pts, fill, stroke, sw)


def sparkle(cx, cy, r, fill=SUNSHINE, stroke=INK, sw=1.0):
    """A four-pointed twinkle."""
    k = r * 0.28
    d = (f"M{cx},{cy - r} Q{cx + k},{cy - k} {cx + r},{cy} Q{cx + k},{cy + k} {cx},{cy + r} "
         f"Q{cx - k},{cy + k} {cx - r},{cy} Q{cx - k},{cy - k} {cx},{cy - r} Z")
    return path(d, fill, stroke, sw)


def heart(cx, cy, s, fill=PINK, stroke=INK, sw=1.2):
    d = (f"M{cx},{cy + 0.9 * s} C{cx - 1.6 * s},{cy - 0.1 * s} {cx - 1.0 * s},{cy - 1.3 * s} "
         f"{cx},{cy - 0.5 * s} C{cx + 1.0 * s},{cy - 1.3 * s} {cx + 1.6 * s},{cy - 0.1 * s} "
         f"{cx},{cy + 0.9 * s} Z")
    return path(d, fill, stroke, sw)


# ---------------------------------------------------------------- raster pipeline


def _read_pam(png_path):
    data = subprocess.run([CONVERT, png_path, "-depth", "8", "RGBA:-"], check=True,
                          capture_output=True).stdout
    return bytearray(data)


def _rsvg(svg_text, width, height, workdir):
    src = os.path.join(workdir, "in.svg")
    out = os.path.join(workdir, "in.png")
    with open(src, "w", encoding="utf-8") as f:
        f.write(svg_text)
    subprocess.run([RSVG, "-w", str(width), "-h", str(height), "-o", out, src], check=True)
    return out


def key_pixels(rgba, width, height, key, matte=INK_RGB):
    """Turns rendered RGBA into keyed RGBA: art is opaque, everything else is the key.

    Edge pixels are blended into the matte (the ink) instead of the background, art that would
    equal the key is nudged off it, and light art touching the key is darkened, so a layered
    window never shows a pale fringe against the desktop.
    """
    kr, kg, kb = key_rgb(key)
    n = width * height
    out = bytearray(n * 4)
    art = bytearray(n)
    for i in range(n):
        r, g, b, a = rgba[4 * i:4 * i + 4]
        if a >= ART_ALPHA:
            if a < 255:
                f = a / 255.0
                r = round(r * f + matte[0] * (1 - f))
                g = round(g * f + matte[1] * (1 - f))
                b = round(b * f + matte[2] * (1 - f))
            if (r, g, b) == (kr, kg, kb):
                r = r - 1 if r > 0 else r + 1
            out[4 * i:4 * i + 4] = bytes((r, g, b, 255))
            art[i] = 1
        else:
            out[4 * i:4 * i + 4] = bytes((kr, kg, kb, 0))
    # Light art right beside the key would read as a fringe: pull it halfway to the matte.
    for y in range(height):
        for x in range(width):
            i = y * width + x
            if not art[i]:
                continue
            r, g, b = out[4 * i], out[4 * i + 1], out[4 * i + 2]
            if not near_key((r, g, b), key):
                continue
            touches = False
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    xx, yy = x + dx, y + dy
                    if 0 <= xx < width and 0 <= yy < height and not art[yy * width + xx]:
                        touches = True
            if touches:
                out[4 * i:4 * i + 3] = bytes(((r + matte[0]) // 2, (g + matte[1]) // 2,
                                              (b + matte[2]) // 2))
    return out


def near_key(rgb, key):
    """True for a colour that would show as a pale fringe next to this key (but is not it)."""
    k = key_rgb(key)
    if tuple(rgb) == k:
        return False
    if key == WHITE:
        return min(rgb) >= 0xF0
    return all(abs(c - kc) <= 0x14 for c, kc in zip(rgb, k))


def render_frame(svg_text, width, height, key, png_out, matte=INK_RGB):
    """Renders one SVG picture into a keyed PNG with binary alpha."""
    with tempfile.TemporaryDirectory() as tmp:
        png = _rsvg(svg_text, width, height, tmp)
        rgba = _read_pam(png)
        keyed = key_pixels(rgba, width, height, key, matte)
        raw = os.path.join(tmp, "keyed.rgba")
        with open(raw, "wb") as f:
            f.write(keyed)
        subprocess.run([CONVERT, "-size", f"{width}x{height}", "-depth", "8", f"RGBA:{raw}",
                        f"PNG32:{png_out}"], check=True)


def write_gif(frame_pngs, gif_out, key, delay_cs=None, colours=None):
    """Assembles keyed frames into a GIF whose transparent index carries the key colour."""
    keyhex = "#%06X" % key
    cmd = [CONVERT]
    if delay_cs is not None:
        cmd += ["-delay", str(delay_cs), "-dispose", "Background", "-loop", "0"]
    cmd += frame_pngs
    cmd += ["+dither"]
    if colours:
        cmd += ["-colors", str(colours)]
    cmd += ["-transparent-color", keyhex]
    if len(frame_pngs) > 1:
        cmd += ["+map"]  # one shared colour table keeps the animation small and steady
    cmd += [gif_out]
    subprocess.run(cmd, check=True)


def render_picture(svg_text, width, height, key, gif_out, matte=INK_RGB, max_bytes=None):
    """Renders a still picture; with max_bytes, fewer colours are used until it fits."""
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "f.png")
        render_frame(svg_text, width, height, key, png, matte)
        write_gif([png], gif_out, key)
        for colours in (64, 48, 32, 24, 16):
            if max_bytes is None or os.path.getsize(gif_out) <= max_bytes:
                break
            write_gif([png], gif_out, key, colours=colours)


def render_animation(svg_frames, width, height, key, gif_out, delay_cs, matte=INK_RGB):
    with tempfile.TemporaryDirectory() as tmp:
        pngs = []
        for i, svg_text in enumerate(svg_frames):
            png = os.path.join(tmp, f"f{i:03d}.png")
            render_frame(svg_text, width, height, key, png, matte)
            pngs.append(png)
        write_gif(pngs, gif_out, key, delay_cs)


def pad_gif(path_, size):
    """Pads a GIF to an exact byte length with a comment extension placed before its trailer."""
    with open(path_, "rb") as f:
        data = f.read()
    assert data[-1] == 0x3B, "GIF must end with its trailer"
    extra = size - len(data)
    if extra == 0:
        return
    if extra < 5:
        raise ValueError(f"{path_}: {len(data)} bytes, cannot pad to {size}")
    # Comment extension: 21 FE, sub-blocks of at most 255 bytes, block terminator 00.
    payload = extra - 3
    blocks = bytearray()
    text_ = b"Kivo skin. " * (payload // 11 + 1)
    pos = 0
    while payload > 0:
        n = min(255, payload - 1)
        if payload - (n + 1) == 1:  # a 1-byte remainder cannot form a sub-block of its own
            n -= 1
        blocks += bytes((n,)) + text_[pos:pos + n]
        pos += n
        payload -= n + 1
    ext = b"\x21\xfe" + bytes(blocks) + b"\x00"
    assert len(ext) == extra
    with open(path_, "wb") as f:
        f.write(data[:-1] + ext + b"\x3b")
