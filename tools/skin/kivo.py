"""Kivo, the companion: a round tangerine fellow with a leaf sprout and violet headphones.

`kivo()` draws one pose as SVG.  All poses share the same body, so the thirteen dances, the
decorations and the help picture show one and the same character.
"""

from skinlib import (BLUSH, INK, MINT, MINT_DARK, PINK, RED, SNOW,
                     VIOLET, VIOLET_DARK, circle, ellipse, group, path, radial, rect)

BODY_RX = 21.0
BODY_RY = 24.0

# Gradient ids used by the body; the caller puts DEFS into the document's <defs>.
DEFS = (radial("kivoBody", "#FFD29A", "#FF9F43", 0.38, 0.28)
        + radial("kivoAngry", "#FFB19A", "#FF5A4A", 0.38, 0.28)
        + radial("kivoCup", "#C9FFF0", MINT, 0.35, 0.3))


def _arm(sx, sy, hx, hy, bend, hand="glove", side=1):
    # Quadratic curve from shoulder to hand; the control point sits off the middle, sideways.
    mx, my = (sx + hx) / 2, (sy + hy) / 2
    dx, dy = hx - sx, hy - sy
    length = max((dx * dx + dy * dy) ** 0.5, 1e-3)
    px, py = -dy / length, dx / length
    cx, cy = mx + px * bend, my + py * bend
    out = path(f"M{sx:.2f},{sy:.2f} Q{cx:.2f},{cy:.2f} {hx:.2f},{hy:.2f}", None, INK, 3.4)
    if hand == "glove":
        out += circle(hx, hy, 4.6, SNOW, INK, 1.6)
        # A thumb bump makes the glove read as a hand.
        out += circle(hx - 3.0 * side, hy - 2.6, 1.9, SNOW, INK, 1.3)
    elif hand == "fist":
        out += circle(hx, hy, 4.4, SNOW, INK, 1.6)
    return out


def _leg(hx, hy, fx, fy, side, knee=None):
    if knee:
        out = path(f"M{hx:.2f},{hy:.2f} L{knee[0]:.2f},{knee[1]:.2f} L{fx:.2f},{fy - 1:.2f}", None,
                   INK, 3.6)
    else:
        out = path(f"M{hx:.2f},{hy:.2f} L{fx:.2f},{fy - 1:.2f}", None, INK, 3.6)
    out += ellipse(fx + 2.0 * side, fy + 1.0, 6.4, 3.6, VIOLET, INK, 1.6)
    out += ellipse(fx + 1.0 * side, fy - 0.2, 2.2, 1.0, "#CFC2FF")
    return out


def _eye(x, y, kind, look=(0.0, 0.0), side=1):
    lx, ly = look
    if kind in ("open", "angry", "sad", "wide"):
        r = 6.5 if kind == "wide" else 5.6
        out = ellipse(x, y, r * 0.85, r, SNOW, INK, 1.6)
        out += circle(x + lx * 1.8, y + ly * 2.0 + 0.6, 2.9 if kind != "wide" else 2.4, INK)
        out += circle(x + lx * 1.8 - 1.0, y + ly * 2.0 - 0.6, 1.0, SNOW)
        if kind == "angry":
            out += path(f"M{x - 6 * side:.2f},{y - 5:.2f} L{x + 5 * side:.2f},{y - 10:.2f}",
                        None, INK, 2.4)
        if kind == "sad":
            out += path(f"M{x - 5 * side:.2f},{y - 10:.2f} L{x + 5 * side:.2f},{y - 7:.2f}",
                        None, INK, 2.0)
        return out
    if kind == "happy":
        return path(f"M{x - 4.5:.2f},{y + 1.5:.2f} Q{x:.2f},{y - 5.5:.2f} {x + 4.5:.2f},"
                    f"{y + 1.5:.2f}", None, INK, 2.2)
    if kind == "closed":
        return path(f"M{x - 4.5:.2f},{y - 1:.2f} Q{x:.2f},{y + 4:.2f} {x + 4.5:.2f},{y - 1:.2f}",
                    None, INK, 2.2)
    if kind == "sleepy":
        out = ellipse(x, y, 4.8, 5.6, SNOW, INK, 1.6)
        out += circle(x + lx * 1.5, y + 2.2, 2.5, INK)
        # The heavy lid covers the top half.
        out += path(f"M{x - 5.2:.2f},{y + 0.5:.2f} Q{x:.2f},{y - 9:.2f} {x + 5.2:.2f},"
                    f"{y + 0.5:.2f} Z", "#FFB769", INK, 1.6)
        return out
    if kind == "squeeze":  # >  <
        d = (f"M{x - 4 * side:.2f},{y - 4:.2f} L{x + 3 * side:.2f},{y:.2f} "
             f"L{x - 4 * side:.2f},{y + 4:.2f}")
        return path(d, None, INK, 2.2)
    if kind == "star":
        from skinlib import star
        return star(x, y, 6.0, 2.6, fill="#FFE066", stroke=INK, sw=1.2)
    return ""


def _mouth(x, y, kind):
    if kind == "smile":
        return path(f"M{x - 6:.2f},{y:.2f} Q{x:.2f},{y + 7:.2f} {x + 6:.2f},{y:.2f}", None, INK,
                    2.2)
    if kind == "grin":
        return (path(f"M{x - 7:.2f},{y - 1:.2f} Q{x:.2f},{y + 12:.2f} {x + 7:.2f},{y - 1:.2f} Z",
                     "#7A1F3D", INK, 1.8)
                + path(f"M{x - 3.5:.2f},{y + 4.5:.2f} Q{x:.2f},{y + 2:.2f} {x + 3.5:.2f},"
                       f"{y + 4.5:.2f} Q{x:.2f},{y + 8:.2f} {x - 3.5:.2f},{y + 4.5:.2f} Z", PINK))
    if kind == "open":
        return (ellipse(x, y + 3, 4.2, 5.0, "#7A1F3D", INK, 1.8)
                + ellipse(x, y + 5.5, 2.6, 1.8, PINK))
    if kind == "shout":
        return (path(f"M{x - 8:.2f},{y - 1:.2f} Q{x:.2f},{y - 3:.2f} {x + 8:.2f},{y - 1:.2f} "
                     f"Q{x + 6:.2f},{y + 11:.2f} {x:.2f},{y + 11:.2f} Q{x - 6:.2f},{y + 11:.2f} "
                     f"{x - 8:.2f},{y - 1:.2f} Z", "#7A1F3D", INK, 1.8)
                + ellipse(x, y + 8, 3.8, 2.0, PINK))
    if kind == "o":
        return ellipse(x, y + 3, 2.6, 3.0, "#7A1F3D", INK, 1.6)
    if kind == "frown":
        return path(f"M{x - 6:.2f},{y + 5:.2f} Q{x:.2f},{y - 1:.2f} {x + 6:.2f},{y + 5:.2f}",
                    None, INK, 2.2)
    if kind == "wavy":
        return path(f"M{x - 7:.2f},{y + 2:.2f} q2,-3 3.5,0 t3.5,0 t3.5,0 t3.5,0", None, INK, 2.0)
    if kind == "smirk":
        return path(f"M{x - 6:.2f},{y + 3:.2f} Q{x + 1:.2f},{y + 6:.2f} {x + 7:.2f},{y - 1:.2f}",
                    None, INK, 2.2)
    if kind == "wail":
        return (path(f"M{x - 7:.2f},{y + 6:.2f} Q{x:.2f},{y - 4:.2f} {x + 7:.2f},{y + 6:.2f} "
                     f"Q{x:.2f},{y + 3:.2f} {x - 7:.2f},{y + 6:.2f} Z", "#7A1F3D", INK, 1.8))
    return ""


def _body_path(cx, cy):
    rx, ry = BODY_RX, BODY_RY
    return (f"M{cx:.2f},{cy - ry:.2f} C{cx + rx * 0.68:.2f},{cy - ry:.2f} {cx + rx:.2f},"
            f"{cy - ry * 0.35:.2f} {cx + rx:.2f},{cy + ry * 0.25:.2f} C{cx + rx:.2f},"
            f"{cy + ry * 0.75:.2f} {cx + rx * 0.58:.2f},{cy + ry:.2f} {cx:.2f},{cy + ry:.2f} "
            f"C{cx - rx * 0.58:.2f},{cy + ry:.2f} {cx - rx:.2f},{cy + ry * 0.75:.2f} "
            f"{cx - rx:.2f},{cy + ry * 0.25:.2f} C{cx - rx:.2f},{cy - ry * 0.35:.2f} "
            f"{cx - rx * 0.68:.2f},{cy - ry:.2f} {cx:.2f},{cy - ry:.2f} Z")


def kivo(cx=51.0, cy=60.0, tilt=0.0, squash=1.0, eyes="open", mouth="smile", look=(0.0, 0.0),
         arms=((-29, 14, 4), (29, 14, -4)), hands=("glove", "glove"), arms_front=(False, False),
         feet=((-10, 36), (10, 36)), back=False, angry=False, blush=True, bow=False,
         headphones=True, face_dx=0.0, extras_front="", extras_back="", sprout_sway=0.0,
         legs=True):
    """One pose of Kivo.

    arms: per side (hand dx, hand dy, bend) from the body centre; feet: per side (dx, dy) or
    (dx, dy, knee dx, knee dy).
    tilt rotates the whole figure about its feet; squash scales it vertically about its feet.
    extras_front/back are SVG drawn in the figure's frame (before tilt) in front of / behind it.
    """
    behind, front = [], []
    sides = (-1, 1)
    # Legs sit behind the body.
    for side, foot in zip(sides, feet if legs else ()):
        fx, fy = foot[0], foot[1]
        knee = (cx + foot[2], cy + foot[3]) if len(foot) == 4 else None
        behind.append(_leg(cx + 9 * side, cy + 19, cx + fx, cy + fy, side, knee))
    for side, (hx, hy, bend), hand, in_front in zip(sides, arms, hands, arms_front):
        if hx is None:
            continue
        arm = _arm(cx + 18.5 * side, cy + 3, cx + hx, cy + hy, bend, hand, side)
        (front if in_front else behind).append(arm)

    body = []
    # The leaf sprout on top of the head.
    sx, sy = cx + sprout_sway, cy - BODY_RY
    body.append(path(f"M{cx:.2f},{sy + 2:.2f} Q{cx + 1 + sprout_sway * 0.3:.2f},{sy - 6:.2f} "
                     f"{sx + 3:.2f},{sy - 9:.2f}", None, MINT_DARK, 2.4))
    body.append(path(f"M{sx + 3:.2f},{sy - 9:.2f} Q{sx + 8:.2f},{sy - 16:.2f} {sx + 15:.2f},"
                     f"{sy - 13:.2f} Q{sx + 10:.2f},{sy - 5:.2f} {sx + 3:.2f},{sy - 9:.2f} Z",
                     MINT, INK, 1.4))
    body.append(path(f"M{sx + 3:.2f},{sy - 9:.2f} Q{sx + 1:.2f},{sy - 15:.2f} {sx - 5:.2f},"
                     f"{sy - 15:.2f} Q{sx - 3:.2f},{sy - 9:.2f} {sx + 3:.2f},{sy - 9:.2f} Z",
                     MINT, INK, 1.4))
    if bow:
        bx, by = cx - 9, cy - BODY_RY + 3
        body.append(path(f"M{bx:.2f},{by:.2f} L{bx - 8:.2f},{by - 6:.2f} L{bx - 8:.2f},"
                         f"{by + 5:.2f} Z M{bx:.2f},{by:.2f} L{bx + 8:.2f},{by - 6:.2f} "
                         f"L{bx + 8:.2f},{by + 5:.2f} Z", PINK, INK, 1.4))
        body.append(circle(bx, by, 2.6, "#FF9CC2", INK, 1.3))
    fill = "url(#kivoAngry)" if angry else "url(#kivoBody)"
    body.append(path(_body_path(cx, cy), fill, INK, 2.2))
    if back:
        # Seen from behind: a soft highlight and a little heart patch where the face would be.
        body.append(ellipse(cx - 7, cy - 10, 6, 9, "#FFC27E"))
    else:
        fx = cx + face_dx
        body.append(ellipse(fx, cy + 11, 11.5, 8.5, "#FFD9AE"))
        if blush:
            body.append(ellipse(fx - 13.5, cy + 3.5, 3.8, 2.3, RED if angry else BLUSH,
                                extra='opacity="0.75"'))
            body.append(ellipse(fx + 13.5, cy + 3.5, 3.8, 2.3, RED if angry else BLUSH,
                                extra='opacity="0.75"'))
        if eyes == "shades":
            body.append(path(f"M{fx - 15:.2f},{cy - 9:.2f} L{fx + 15:.2f},{cy - 9:.2f} "
                             f"L{fx + 14:.2f},{cy - 3:.2f} Q{fx + 13:.2f},{cy + 1:.2f} "
                             f"{fx + 8:.2f},{cy + 1:.2f} Q{fx + 3:.2f},{cy + 1:.2f} {fx + 1.5:.2f},"
                             f"{cy - 5:.2f} L{fx - 1.5:.2f},{cy - 5:.2f} Q{fx - 3:.2f},"
                             f"{cy + 1:.2f} {fx - 8:.2f},{cy + 1:.2f} Q{fx - 13:.2f},{cy + 1:.2f} "
                             f"{fx - 14:.2f},{cy - 3:.2f} Z", INK, INK, 1.2))
            body.append(path(f"M{fx - 12:.2f},{cy - 7:.2f} L{fx - 9:.2f},{cy - 7:.2f} "
                             f"L{fx - 11:.2f},{cy - 3:.2f} Z", "#8C7BFF"))
            body.append(path(f"M{fx + 4:.2f},{cy - 7:.2f} L{fx + 7:.2f},{cy - 7:.2f} "
                             f"L{fx + 5:.2f},{cy - 3:.2f} Z", "#8C7BFF"))
        else:
            left, right = (eyes if isinstance(eyes, tuple) else (eyes, eyes))
            body.append(_eye(fx - 8, cy - 5, left, look, -1))
            body.append(_eye(fx + 8, cy - 5, right, look, 1))
        body.append(_mouth(fx, cy + 6, mouth))
    if headphones:
        # Band over the head, then the two ear cups.
        band = (f"M{cx - 20:.2f},{cy - 4:.2f} C{cx - 24:.2f},{cy - 36:.2f} {cx + 24:.2f},"
                f"{cy - 36:.2f} {cx + 20:.2f},{cy - 4:.2f}")
        body.append(path(band, None, INK, 6.4))
        body.append(path(band, None, VIOLET, 3.2))
        for side in sides:
            x0 = cx + (23.5 if side > 0 else -23.5) - 4.5
            body.append(rect(x0, cy - 12, 9, 16, 4, "url(#kivoCup)", INK, 1.6))
            body.append(rect(x0 + (6 if side > 0 else 0), cy - 9, 3, 10, 1.5, VIOLET_DARK))

    figure = extras_back + "".join(behind) + "".join(body) + "".join(front) + extras_front
    foot_y = cy + 37
    return group(figure, rot=tilt, cx=cx, cy=foot_y, sy=squash)


