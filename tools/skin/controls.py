"""The pictures of the controls: buttons, faces, disc, status frames, speakers, decorations.

Each function returns the SVG document of one picture (or a list of frames); PICTURES maps the
file name of every still picture to its drawing, ANIMATIONS the animated ones.
"""

import math

import kivo as K
from skinlib import (INK, LAVENDER, MINT, PINK, RED, SKY, SKY_DARK, SNOW, SUNSHINE,
                     SUNSHINE_PALE, TANGERINE, TANGERINE_LIGHT, VIOLET, VIOLET_DARK, VIOLET_LIGHT,
                     circle, group, heart, line, linear, note, path, polygon, radial, rect,
                     sparkle, star, svg_doc, text)

GLOW = SUNSHINE  # the hot faces glow

# Fills of the round buttons: (light centre, rim) normal and hot.
TONES = {
    "violet": (("#A993FF", "#6242EE"), ("#C6B8FF", "#7B5CFF")),
    "mint": (("#7DEBCD", "#14A27E"), ("#A9F6E0", "#25C49B")),
    "tangerine": (("#FFC684", "#EC7A1F"), ("#FFDDA8", "#FF9A3D")),
    "sky": (("#8FDBFF", "#1E8FD0"), ("#B8E9FF", "#35AAEB")),
    "pink": (("#FFA8C8", "#E9477F"), ("#FFC7DB", "#FF6FA3")),
    "grey": (("#D6D0EA", "#8E86AE"), ("#E6E1F5", "#A49CC2")),
}


def round_button(size, tone, hot, icon):
    """A glossy round button filling the picture; the hot face adds a sunshine glow ring."""
    c = size / 2
    inner, rim = TONES[tone][1 if hot else 0]
    defs = radial("fill", inner, rim, 0.4, 0.3)
    body = ""
    r = c - 1.2
    if hot:
        body += circle(c, c, r, GLOW, INK, 1.4)
        r -= 3.0
    body += circle(c, c, r, "url(#fill)", INK, 1.8)
    # Gloss: a soft crescent on the upper half.
    body += path(f"M{c - r * 0.62:.2f},{c - r * 0.28:.2f} Q{c:.2f},{c - r * 0.95:.2f} "
                 f"{c + r * 0.62:.2f},{c - r * 0.28:.2f} Q{c:.2f},{c - r * 0.6:.2f} "
                 f"{c - r * 0.62:.2f},{c - r * 0.28:.2f} Z", SNOW, extra='opacity="0.45"')
    body += icon(c, r)
    return svg_doc(size, size, body, defs)


def tri(cx, cy, w, h, direction=1):
    """A rounded triangle pointing right (direction 1) or left (-1), centred on (cx, cy)."""
    x0, x1 = cx - w / 2 * direction, cx + w / 2 * direction
    return polygon(((x0, cy - h / 2), (x1, cy), (x0, cy + h / 2)), SNOW, INK, 1.6)


def play_icon(c, r):
    return tri(c + r * 0.08, c, r * 0.78, r * 0.95)


def pause_icon(c, r):
    w, h = r * 0.26, r * 0.92
    return (rect(c - r * 0.36, c - h / 2, w, h, w * 0.35, SNOW, INK, 1.6)
            + rect(c + r * 0.1, c - h / 2, w, h, w * 0.35, SNOW, INK, 1.6))


def skip_icon(direction):
    def draw(c, r):
        w, h = r * 0.5, r * 0.7
        bar_x = c + r * 0.45 * direction
        return (tri(c - r * 0.22 * direction, c, w, h, direction) + tri(c + r * 0.14 * direction,
                                                                        c, w, h, direction)
                + rect(bar_x - r * 0.07, c - h / 2, r * 0.14, h, 1, SNOW, INK, 1.4))
    return draw


def mode_icon(c, r):
    # Two chasing arrows: the play order goes round.
    rr = r * 0.52
    arc1 = f"M{c - rr:.2f},{c:.2f} A{rr:.2f},{rr:.2f} 0 0 1 {c + rr * 0.7:.2f},{c - rr * 0.7:.2f}"
    arc2 = f"M{c + rr:.2f},{c:.2f} A{rr:.2f},{rr:.2f} 0 0 1 {c - rr * 0.7:.2f},{c + rr * 0.7:.2f}"
    out = ""
    for arc in (arc1, arc2):
        out += path(arc, None, INK, 5.0) + path(arc, None, SNOW, 2.6)
    hs = r * 0.3
    for sx, sy, ang in ((c + rr * 0.7, c - rr * 0.7, 45), (c - rr * 0.7, c + rr * 0.7, 225)):
        a = math.radians(ang)
        pts = [(sx + hs * math.cos(a), sy + hs * math.sin(a)),
               (sx + hs * math.cos(a + 2.3), sy + hs * math.sin(a + 2.3)),
               (sx + hs * math.cos(a - 2.3), sy + hs * math.sin(a - 2.3))]
        out += polygon(pts, SNOW, INK, 1.3)
    return out


def speaker_shape(cx, cy, s):
    outline = ((-6, -2.6), (-2.6, -2.6), (2, -6.5), (2, 6.5), (-2.6, 2.6), (-6, 2.6))
    return polygon([(cx + x * s, cy + y * s) for x, y in outline], SNOW, INK, 1.3)


def speaker_icon(muted):
    def draw(c, r):
        s = r / 10.0
        out = speaker_shape(c - 1.6 * s, c, s)
        if muted:
            x = c + 5.2 * s
            out += line(x - 2.6 * s, c - 2.6 * s, x + 2.6 * s, c + 2.6 * s, INK, 3.6)
            out += line(x - 2.6 * s, c + 2.6 * s, x + 2.6 * s, c - 2.6 * s, INK, 3.6)
            out += line(x - 2.6 * s, c - 2.6 * s, x + 2.6 * s, c + 2.6 * s, RED, 1.8)
            out += line(x - 2.6 * s, c + 2.6 * s, x + 2.6 * s, c - 2.6 * s, RED, 1.8)
        else:
            for k, rad in enumerate((3.2, 6.0)):
                a = (f"M{c + 2 * s:.2f},{c - rad * s:.2f} A{rad * s:.2f},{rad * s:.2f} 0 0 1 "
                     f"{c + 2 * s:.2f},{c + rad * s:.2f}")
                out += path(a, None, INK, 3.0) + path(a, None, SNOW, 1.4)
        return out
    return draw


def volume_icon(c, r):
    s = r / 10.0
    out = speaker_shape(c - 3 * s, c, s * 0.9)
    # A little slider with a sunshine knob: this button opens the volume setting.
    x = c + 5.2 * s
    out += line(x, c - 6.5 * s, x, c + 6.5 * s, INK, 2.8) + line(x, c - 6.5 * s, x, c + 6.5 * s,
                                                                 SNOW, 1.2)
    out += circle(x, c - 1.5 * s, 2.6 * s, SUNSHINE, INK, 1.2)
    return out


# ---------------------------------------------------------------- captioned-button faces


def face(width, height, hot):
    top, bottom = ("#FFF7CF", "#FFE27A") if hot else ("#F3EFFF", "#D9CEFF")
    defs = linear("fill", top, bottom)
    r = min(height / 2 - 1, 7.0)
    outline = VIOLET_DARK if hot else INK
    body = rect(0.9, 0.9, width - 1.8, height - 1.8, r, "url(#fill)", outline, 1.4)
    body += path(f"M{r:.2f},3.2 L{width - r:.2f},3.2", None, SNOW, 1.2, 'opacity="0.9"')
    return svg_doc(width, height, body, defs)


# ---------------------------------------------------------------- disc and status


def disc(angle):
    c = 32.0
    defs = radial("vinyl", "#4A4270", "#221B3D", 0.5, 0.5)
    body = circle(c, c, 30.5, "url(#vinyl)", INK, 1.6)
    for rr in (27, 24, 21, 18):
        body += circle(c, c, rr, None, "#5C5390", 0.9)
    # A pinwheel label (tangerine and sunshine quarters with a leaf): the turning shows.
    label = circle(c, c, 13, TANGERINE, None)
    for q in (0, 180):
        a0, a1 = math.radians(q), math.radians(q + 90)
        label += path(f"M{c:.2f},{c:.2f} L{c + 13 * math.cos(a0):.2f},{c + 13 * math.sin(a0):.2f} "
                      f"A13,13 0 0 1 {c + 13 * math.cos(a1):.2f},{c + 13 * math.sin(a1):.2f} Z",
                      SUNSHINE)
    label += circle(c, c, 13, None, INK, 1.4)
    label += path(f"M{c + 3:.2f},{c - 4:.2f} Q{c + 8:.2f},{c - 11:.2f} {c + 11:.2f},{c - 6:.2f} "
                  f"Q{c + 7:.2f},{c - 2:.2f} {c + 3:.2f},{c - 4:.2f} Z", MINT, INK, 1.0)
    label += circle(c, c, 5, "#FFE9C7", INK, 1.0)
    dot = circle(c, c + 22.5, 2.4, SUNSHINE, INK, 0.9) + circle(c - 15.9, c - 15.9, 1.6, PINK)
    spin = group(label + dot, rot=angle, cx=c, cy=c)
    shine = (path(f"M{c - 20:.2f},{c - 19:.2f} A27.5,27.5 0 0 1 {c + 5:.2f},{c - 27.5:.2f}", None,
                  "#A99BEA", 2.2, 'opacity="0.8"')
             + path(f"M{c + 20:.2f},{c + 19:.2f} A27.5,27.5 0 0 1 {c - 5:.2f},{c + 27.5:.2f}", None,
                    "#A99BEA", 2.2, 'opacity="0.6"'))
    hole = circle(c, c, 2.2, LAVENDER, INK, 1.0)
    return svg_doc(64, 64, body + shine + spin + hole, defs)


BAR_COLOURS = [PINK, "#FF8A5B", TANGERINE, SUNSHINE, "#9BE15D", MINT, SKY, "#8C7BFF", VIOLET_LIGHT]


def status(frame):
    """The status display: a little screen whose bars dance; frame 0 is the resting screen."""
    defs = linear("screen", "#3E2F86", "#251B57")
    body = rect(1, 1, 98, 28, 13, "url(#screen)", INK, 1.8)
    body += path("M12,4.5 L88,4.5", None, "#6D5BC4", 1.2, 'opacity="0.9"')
    n = len(BAR_COLOURS)
    for i, col in enumerate(BAR_COLOURS):
        x = 13 + i * 8.2
        if frame == 0:
            h = 3.0
        else:
            # A travelling wave: each frame shifts the crest one step to the right.
            ph = (i / n - (frame - 1) / 5.0) * 2 * math.pi
            h = 6 + 8 * (0.5 + 0.5 * math.cos(ph)) + 3 * (0.5 + 0.5 * math.sin(ph * 2.3 + i))
        body += rect(x - 2.6, 23 - h, 5.2, h, 2.2, col, None)
        body += rect(x - 2.6, 23 - h - 3.2, 5.2, 1.6, 0.8, col, None, None, 'opacity="0.55"')
    if frame == 0:
        body += note(87.5, 19, 0.62, LAVENDER)
    else:
        body += note(87.5, 19 - (frame % 2) * 2, 0.62, SUNSHINE)
    return svg_doc(100, 30, body, defs)


# ---------------------------------------------------------------- decorations and help pictures


def decor1():
    """The Kivo badge: a sunshine burst with Kivo's head."""
    body = star(25, 25, 24, 19.5, 12, -90, SUNSHINE, INK, 1.6)
    body += circle(25, 25, 16.5, "#FFF1B8", INK, 1.2)
    head = K.kivo(cx=25, cy=26.5, arms=((None, None, None), (None, None, None)), legs=False,
                  eyes=("open", "happy"), mouth="grin")
    body += group(head, rot=0, cx=25, cy=26, sx=0.58, sy=0.58)
    return svg_doc(50, 50, body, K.DEFS)


def decor2():
    """Kivo holds on to the right edge of the player panel and waves."""
    fig = K.kivo(cx=36, cy=38, tilt=-8, eyes=("happy", "open"), mouth="open",
                 arms=((-28, -4, -8), (24, -25, -8)), feet=((-9, 34), (8, 36)), look=(-1, 0))
    body = group(fig, tx=4, ty=6, sx=0.7, sy=0.7)
    body += note(52, 61, 0.8, PINK) + sparkle(7, 57, 3.2, SUNSHINE)
    return svg_doc(60, 65, body, K.DEFS)


def feedback_picture():
    fig = K.kivo(cx=22, cy=28, arms=((-16, 10, 6), (12, -14, -4)), feet=((-8, 34), (8, 34)),
                 eyes="open", mouth="o", look=(1, -1))
    body = group(fig, cx=0, cy=0, sx=0.62, sy=0.62, tx=4, ty=6)
    body += path("M28,4 Q28,1 31,1 L44,1 Q47,1 47,4 L47,14 Q47,17 44,17 L36,17 L31,21 L32,17 "
                 "L31,17 Q28,17 28,14 Z", SUNSHINE_PALE, INK, 1.4)
    body += text(37.5, 14, "?", 13, VIOLET_DARK)
    return svg_doc(48, 48, body, K.DEFS)


def tile(hot, tone, icon):
    inner, rim = TONES[tone][1 if hot else 0]
    defs = radial("fill", inner, rim, 0.35, 0.25)
    body = ""
    x, w = 1.2, 57 - 2.4
    if hot:
        body += rect(x, x, w, w, 14, GLOW, INK, 1.4)
        x, w = x + 3, w - 6
    body += rect(x, x, w, w, 12, "url(#fill)", INK, 1.8)
    body += path(f"M{x + 10:.2f},{x + 4.5:.2f} L{x + w - 10:.2f},{x + 4.5:.2f}", None, SNOW, 2.4,
                 'opacity="0.6"')
    body += icon
    return svg_doc(57, 57, body, defs)


def house_icon():
    walls = ((28.5, 13), (45, 27), (40.5, 27), (40.5, 43), (16.5, 43), (16.5, 27), (12, 27))
    return (polygon(walls, SNOW, INK, 1.8)
            + rect(24.5, 33, 8, 10, 2, TANGERINE_LIGHT, INK, 1.3)
            + heart(28.5, 23.5, 3.6, PINK, INK, 1.1))


def bubble_icon(glyph, colour):
    return (path("M12,16 Q12,11 17,11 L40,11 Q45,11 45,16 L45,34 Q45,39 40,39 L24,39 L15,46 "
                 "L17,39 Q12,39 12,34 Z", SNOW, INK, 1.8)
            + text(28.5, 32.5, glyph, 19, colour))


def web_pic(hot):
    defs = radial("sea", "#A6E6FF", "#2C9FE0", 0.35, 0.3)
    body = ""
    c, r = 25.0, 17.0
    if hot:
        body += circle(c, c + 1, 23.5, GLOW, INK, 1.4)
    body += circle(c, c + 1, r, "url(#sea)", INK, 1.8)
    body += path("M15,17 Q19,13 24,15 Q27,19 23,22 Q19,25 20,29 Q15,28 13,23 Z", "#7DDB6A", INK,
                 1.1)
    body += path("M29,24 Q34,21 38,25 Q39,31 34,35 Q30,33 31,29 Z", "#7DDB6A", INK, 1.1)
    band = (f"M{c - 18:.2f},{c + 1:.2f} C{c - 20:.2f},{c - 25:.2f} {c + 20:.2f},{c - 25:.2f} "
            f"{c + 18:.2f},{c + 1:.2f}")
    body += path(band, None, INK, 5.6) + path(band, None, VIOLET, 2.8)
    for side in (-1, 1):
        body += rect(c + 19 * side - 4.5, c - 6, 9, 14, 4, "url(#cup)", INK, 1.5)
    body += note(40, 45, 0.8, PINK)
    return svg_doc(50, 50, body, defs + radial("cup", "#C9FFF0", MINT, 0.35, 0.3))


PICTURES = {
    "decorPicture1.gif": decor1,
    "decorPicture2.gif": decor2,
    "discPicture.gif": lambda: disc(0),
    "playButton-play.gif": lambda: round_button(55, "violet", False, play_icon),
    "playButton-play-hot.gif": lambda: round_button(55, "violet", True, play_icon),
    "playButton-pause.gif": lambda: round_button(55, "violet", False, pause_icon),
    "playButton-pause-hot.gif": lambda: round_button(55, "violet", True, pause_icon),
    "previousButton.gif": lambda: round_button(46, "mint", False, skip_icon(-1)),
    "previousButton-hot.gif": lambda: round_button(46, "mint", True, skip_icon(-1)),
    "nextButton.gif": lambda: round_button(46, "mint", False, skip_icon(1)),
    "nextButton-hot.gif": lambda: round_button(46, "mint", True, skip_icon(1)),
    "modeButton.gif": lambda: round_button(36, "tangerine", False, mode_icon),
    "modeButton-hot.gif": lambda: round_button(36, "tangerine", True, mode_icon),
    "volumeButton.gif": lambda: round_button(25, "sky", False, volume_icon),
    "volumeButton-hot.gif": lambda: round_button(25, "sky", True, volume_icon),
    "speaker.gif": lambda: round_button(25, "mint", False, speaker_icon(False)),
    "speaker-muted.gif": lambda: round_button(25, "pink", False, speaker_icon(True)),
    "speaker-hot.gif": lambda: round_button(25, "mint", True, speaker_icon(False)),
    "feedbackPicture.gif": feedback_picture,
    "spaceButton.gif": lambda: tile(False, "tangerine", house_icon()),
    "spaceButton-hot.gif": lambda: tile(True, "tangerine", house_icon()),
    "sinaWeiboButton.gif": lambda: tile(False, "pink", bubble_icon("@", RED)),
    "sinaWeiboButton-hot.gif": lambda: tile(True, "pink", bubble_icon("@", RED)),
    "tencentWeiboButton.gif": lambda: tile(False, "sky", bubble_icon("#", SKY_DARK)),
    "tencentWeiboButton-hot.gif": lambda: tile(True, "sky", bubble_icon("#", SKY_DARK)),
    "webPicButton.gif": lambda: web_pic(False),
    "webPicButton-hot.gif": lambda: web_pic(True),
}
for _i in range(6):
    PICTURES[f"statusPicture{_i}.gif"] = (lambda f: lambda: status(f))(_i)
for _w, _h in ((80, 22), (48, 22), (70, 22), (105, 22), (44, 22), (45, 22), (68, 22), (20, 20)):
    for _hot in (False, True):
        _name = f"face-{_w}x{_h}{'-hot' if _hot else ''}.gif"
        PICTURES[_name] = (lambda w, h, hot: lambda: face(w, h, hot))(_w, _h, _hot)
        if (_w, _h) == (20, 20):
            PICTURES[f"face-20x20-web{'-hot' if _hot else ''}.gif"] = PICTURES[_name]

# Animated pictures: name -> (frames, delay in 1/100 s).
ANIMATIONS = {
    "discPicture-turning.gif": ([lambda a=a: disc(a) for a in range(0, 360, 30)], 7),
}
