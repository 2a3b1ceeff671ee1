"""The thirteen dance pictures of the animation window: Kivo acting out each joke line.

Each dance is a function of the frame phase t in [0, 1) returning the SVG body of one frame;
DANCES lists (function, frame count, frame delay in 1/100 s) in picture order.
"""

import math

from kivo import kivo
from skinlib import (INK, LAVENDER, MINT, PINK, RED, SKY, SKY_DARK,
                     SNOW, SUNSHINE, VIOLET, VIOLET_DARK, VIOLET_LIGHT, circle,
                     ellipse, group, heart, line, note, path, polygon, rect, sparkle, star, text)

W, H = 103, 110
CJK = "WenQuanYi Micro Hei"


def shout(x, y, s, size, fill):
    """A spoken word beside Kivo: bold, with a pale halo so it reads on any desktop."""
    return text(x, y, s, size, fill, family=CJK, stroke=LAVENDER, sw=3.2)


def wave(t, phase=0.0):
    return math.sin(2 * math.pi * (t + phase))


def drop(x, y, s=1.0, fill=SKY):
    return path(f"M{x:.2f},{y - 4 * s:.2f} Q{x + 3.2 * s:.2f},{y + 0.5 * s:.2f} {x:.2f},"
                f"{y + 2.6 * s:.2f} Q{x - 3.2 * s:.2f},{y + 0.5 * s:.2f} {x:.2f},{y - 4 * s:.2f} Z",
                fill, INK, 1.1)


def puff(x, y, r, fill=LAVENDER):
    return (circle(x - r * 0.7, y + r * 0.2, r * 0.7, fill, INK, 1.2)
            + circle(x + r * 0.7, y + r * 0.2, r * 0.75, fill, INK, 1.2)
            + circle(x, y - r * 0.25, r * 0.85, fill, INK, 1.2)
            + ellipse(x, y + r * 0.25, r * 1.1, r * 0.5, fill))


# 1: life is a dream, a play and a song: half asleep, giggling, singing off-key.
def dance01(t):
    s = wave(t)
    sleepy = t < 0.5
    mic_hand = (14, 20, -6)
    mx, my = 51 + 9, 60 + 11
    mic = (line(51 + 14, 60 + 20, mx, my, INK, 4.2)
           + line(51 + 14, 60 + 20, mx, my, "#5B5B7A", 2.4)
           + circle(mx - 1, my - 1.5, 4.4, VIOLET_LIGHT, INK, 1.5)
           + line(mx - 4, my - 2, mx + 2, my - 0.5, VIOLET_DARK, 0.8)
           + line(mx - 2.5, my - 5, mx, my + 2, VIOLET_DARK, 0.8))
    body = kivo(tilt=7 * s, eyes="sleepy" if sleepy else "happy",
                mouth="wavy" if sleepy else "grin", look=(-1, 0),
                arms=((-27, -6 - 8 * s, 8), mic_hand), arms_front=(False, True),
                feet=((-11, 36), (11, 36)), extras_front=mic, sprout_sway=-3 * s)
    notes = ""
    # Crooked notes drift up and wobble: the song has lost its key.
    for i, (x0, col) in enumerate(((12, PINK), (24, SKY), (16, SUNSHINE))):
        ph = (t + i / 3) % 1
        y = 64 - 40 * ph
        x = x0 + 5 * math.sin(2 * math.pi * ph * 2)
        notes += note(x, y, 1.15, col, i == 1, rot=35 * math.sin(2 * math.pi * (ph + i * 0.2)))
    if sleepy:
        zz = text(84, 30 - 6 * (t * 2), "z", 9, VIOLET, extra='font-style="italic"')
        zz += text(92, 20 - 6 * (t * 2), "Z", 12, VIOLET, extra='font-style="italic"')
    else:
        zz = shout(82, 28, "哈", 13, PINK) + shout(94, 16, "哈", 11, PINK)
    return notes + body + zz


# 2: rocking all the way to the bridge: balancing on a little arched bridge.
def dance02(t):
    s = wave(t)
    def deck(x):
        return 100 - 26 * (1 - ((x - 51) / 49) ** 2)

    bridge = (path("M2,109 L2,99 Q51,47 101,99 L101,109 L84,109 Q51,80 18,109 Z",
                   "#C9B8FF", INK, 1.8)
              + path("M5,96 Q51,45 98,96", None, VIOLET_DARK, 1.2)
              + "".join(line(x - 3, deck(x - 3) + 3, x + 3, deck(x + 3) + 3, "#9C87F0", 1.4)
                        for x in (18, 34, 68, 84))
              + "".join(line(x, deck(x) - 7, x, deck(x) + 1, INK, 1.6) for x in (10, 26, 76, 92))
              + path("M10,84 Q26,71 26,71 M76,71 Q92,84 92,84", None, INK, 1.6))
    water = "".join(path(f"M{x0 + 3 * s:.2f},{104 + 2 * (i % 2):.2f} q3,-3 6,0 t6,0", None,
                         SKY_DARK, 1.8) for i, x0 in enumerate((36, 46, 56)))
    tilt = 16 * s
    body = kivo(cy=37, tilt=tilt, eyes=("squeeze", "squeeze") if abs(s) > 0.7 else "wide",
                mouth="o", arms=((-32, -6 + 6 * s, -3), (32, -6 - 6 * s, 3)),
                feet=((-7, 36), (7, 36)), sprout_sway=-4 * s)
    sweat = drop(76 - 4 * s, 22, 1.2) if abs(s) > 0.5 else ""
    # The far side of this bridge is the underworld: a little ghost bobs along.
    gx, gy = 11 + 2 * wave(t, 0.25), 62 + 3 * s
    hem = " ".join(f"L{gx + dx:.2f},{gy + dy:.2f}"
                   for dx, dy in ((7, 8), (4.5, 6), (2, 8), (-0.5, 6), (-3, 8), (-5, 6)))
    ghost = (path(f"M{gx - 7:.2f},{gy + 8:.2f} L{gx - 7:.2f},{gy:.2f} A7,7 0 0 1 {gx + 7:.2f},"
                  f"{gy:.2f} {hem} Z", "#EDE8FF", INK, 1.3)
             + circle(gx - 2.5, gy, 1.3, INK) + circle(gx + 2.5, gy, 1.3, INK)
             + ellipse(gx, gy + 3.4, 1.4, 1.1, INK))
    return bridge + water + ghost + body + sweat


# 3: "don't look back": walking away, seen from behind, waving over the shoulder.
def dance03(t):
    s = wave(t)
    bob = abs(s) * 2
    step = 5 * s
    body = kivo(cy=58 - bob, back=True, arms=((-27, 12, 4), (24 + 5 * s, -30, -7)),
                feet=((-9 - step * 0.2, 36 - max(step, 0) * 0.8),
                      (9 + step * 0.2, 36 + min(step, 0) * 0.8)),
                tilt=3 * s, sprout_sway=2 * s)
    hearts = ""
    for i in range(3):
        ph = (t + i / 3) % 1
        hearts += heart(82 + 8 * math.sin(2 * math.pi * (ph + i * 0.3)), 50 - 42 * ph,
                        2.6 + 2.2 * ph, PINK if i != 1 else "#FF9CC2")
    bye = shout(82, 106, "拜拜~", 12, VIOLET_DARK) if t < 0.75 else ""
    return body + hearts + bye


def glove(x, y, r=7.0):
    return (circle(x, y, r, RED, INK, 1.8) + ellipse(x - r * 0.35, y - r * 0.35, r * 0.35,
                                                     r * 0.22, "#FF9AA3")
            + rect(x - r * 0.7, y + r * 0.55, r * 1.4, r * 0.5, 1, SNOW, INK, 1.2))


# 4: "you'll die very rhythmically": boxing to the beat.
def dance04(t):
    k = int(t * 6)
    left = k % 2 == 0
    hit = k % 3 == 1
    lx, ly = (-13, 18) if left else (-27, 10)
    rx, ry = (27, 10) if left else (13, 18)
    gloves = glove(51 + lx, 60 + ly, 8.5 if left else 6.5) + glove(51 + rx, 60 + ry,
                                                                6.5 if left else 8.5)
    arms_front = (left, not left)
    body = kivo(tilt=-4 if left else 4, eyes="angry", mouth="shout" if hit else "frown",
                angry=False, arms=((lx, ly, 6), (rx, ry, -6)), hands=("none", "none"),
                arms_front=arms_front, feet=((-12, 36), (12, 36)),
                extras_front=gloves)
    burst = ""
    if hit:
        bx = 22 if left else 81
        burst = star(bx, 90, 9, 4, 8, 0, SUNSHINE, INK, 1.3)
    beat = note(16 if not left else 80, 18 + 4 * (k % 2), 1.0, MINT)
    return body + burst + beat


# 5: a head full of water, sloshing as it shakes.
def dance05(t):
    k = int(t * 6)
    s = (-1, 1, -1, 1, 0, 0)[k]
    tilt = 13 * s
    slosh = 5 * s
    clip_body = ("M51,36 C65.3,36 72,51.6 72,66 C72,78 63.2,84 51,84 C38.8,84 30,78 30,66 "
                 "C30,51.6 36.7,36 51,36 Z")
    water = (f'<clipPath id="w5"><path d="{clip_body}"/></clipPath>'
             f'<g clip-path="url(#w5)">'
             + path(f"M26,{68 - slosh:.2f} Q38,{62 - slosh * 1.5:.2f} 51,68 "
                    f"Q64,{74 + slosh * 1.5:.2f} 76,{68 + slosh:.2f} L76,90 L26,90 Z", "#7FD6FF",
                    SKY_DARK, 1.2)
             + circle(44 - slosh, 76, 1.6, SNOW) + circle(58 - slosh, 80, 1.2, SNOW)
             + "</g>")
    body = kivo(tilt=tilt, eyes="squeeze", mouth="o", blush=False,
                arms=((-30, 4 - 6 * s, 6), (30, 4 + 6 * s, -6)), extras_front=water,
                sprout_sway=-5 * s)
    drops = ""
    if s != 0:
        for i in range(3):
            side = -s
            drops += drop(51 + side * (30 + 7 * i), 30 + 10 * i - 4 * (k % 2), 1.5 - 0.2 * i)
    label = shout(51 + 30 * s, 20, "咣当", 13, SKY_DARK) if s else ""
    return body + drops + label


# 6: wailing for applause, clapping alone.
def dance06(t):
    k = int(t * 6)
    together = k % 2 == 0
    hx = 6 if together else 22
    body = kivo(eyes="closed", mouth="wail", blush=True,
                arms=((-hx, 19, -6), (hx, 19, 6)), arms_front=(True, True),
                feet=((-10, 36), (10, 36)), tilt=2 * (1 if together else -1))
    tears = ""
    for side in (-1, 1):
        x = 51 + 9 * side
        tears += path(f"M{x:.2f},57 Q{x + 2 * side:.2f},64 {x + 6 * side:.2f},"
                      f"{70 + 2 * (k % 3):.2f}", None, SKY, 2.8)
        for j in range(2):
            ph = (t * 2 + j * 0.5) % 1
            tears += drop(x + (14 + 4 * ph) * side, 70 + 26 * ph, 0.9)
    claps = ""
    if together:
        # Clap! Two twinkles burst out beside the hands.
        claps = (sparkle(22, 84, 5.5) + sparkle(80, 84, 5.5) + sparkle(28, 96, 3)
                 + sparkle(74, 96, 3))
    sign = (rect(62, 5, 39, 18, 4, SUNSHINE, INK, 1.5)
            + text(81.5, 18.5, "求掌声!", 11, INK, family=CJK))
    return body + claps + tears + sign


# 7: ready to marry: kneeling with a sparkling ring.
def dance07(t):
    s = wave(t)
    bx, by = 82, 66  # the open ring box, held out at arm's length
    box = (path(f"M{bx - 9},{by - 6} L{bx + 9},{by - 6} L{bx + 7},{by - 15} L{bx - 7},{by - 15} Z",
                "#FF8A95", INK, 1.4)
           + rect(bx - 10, by - 6, 20, 11, 2.5, RED, INK, 1.6)
           + ellipse(bx, by - 3.5, 6, 2, "#B3123A")
           + circle(bx, by - 9, 5, None, INK, 3.6) + circle(bx, by - 9, 5, None, "#F2B705", 2.0)
           + polygon(((bx - 3.5, by - 15), (bx, by - 19), (bx + 3.5, by - 15), (bx, by - 11.5)),
                     "#BFF6FF", INK, 1.2))
    body = kivo(cx=46, cy=62, tilt=-4, eyes="wide", mouth="smile", look=(1, -1),
                arms=((-6, 16, -6), (bx - 46 - 8, by - 62 + 1, 6)), arms_front=(True, True),
                feet=((-24, 41, -9, 41), (20, 41, 19, 28)))
    twinkles = (sparkle(bx + 9, by - 24 - 2 * s, 4 + 1.5 * s) + sparkle(bx - 12, by - 26, 2.8 - s)
                + sparkle(bx + 12, by - 8, 2.2 + s, SNOW))
    hearts = heart(20, 28 - 6 * ((t * 2) % 1), 3.5 + 1.5 * ((t * 2) % 1), PINK)
    floor = ellipse(44, 104.5, 30, 3.5, "#D9CCFF", INK, 1.3)
    return floor + body + box + twinkles + hearts


def cabbage(x, y, r=1.0):
    return (ellipse(x, y, 10 * r, 14 * r, "#F4FBEA", INK, 1.6)
            + path(f"M{x - 10 * r:.2f},{y - 2 * r:.2f} Q{x - 12 * r:.2f},{y - 16 * r:.2f} "
                   f"{x - 2 * r:.2f},{y - 17 * r:.2f} Q{x - 5 * r:.2f},{y - 4 * r:.2f} "
                   f"{x - 10 * r:.2f},{y - 2 * r:.2f} Z", "#7DDB6A", INK, 1.4)
            + path(f"M{x + 10 * r:.2f},{y - 2 * r:.2f} Q{x + 12 * r:.2f},{y - 16 * r:.2f} "
                   f"{x + 2 * r:.2f},{y - 17 * r:.2f} Q{x + 5 * r:.2f},{y - 4 * r:.2f} "
                   f"{x + 10 * r:.2f},{y - 2 * r:.2f} Z", "#5CC94A", INK, 1.4)
            + path(f"M{x:.2f},{y - 16 * r:.2f} Q{x - 6 * r:.2f},{y - 8 * r:.2f} {x:.2f},"
                   f"{y - 2 * r:.2f} Q{x + 6 * r:.2f},{y - 8 * r:.2f} {x:.2f},{y - 16 * r:.2f} Z",
                   "#A5EB8F", INK, 1.2)
            + line(x, y - 2 * r, x, y + 11 * r, "#C7E5B5", 1.4))


# 8: "rather sell cabbages, la la la": skipping along with a napa cabbage.
def dance08(t):
    s = wave(t)
    hop = abs(wave(t)) * 9
    body = kivo(cy=58 - hop, tilt=-6 * s, eyes="happy", mouth="open",
                arms=((-12, 22, -8), (13, 23, 8)), arms_front=(True, True),
                feet=((-12, 34 - 4 * max(s, 0)), (12, 34 - 4 * max(-s, 0))),
                extras_front=cabbage(51, 62 + 29 - hop, 0.95))
    las = ""
    for i in range(2):
        ph = (t + i * 0.5) % 1
        x = 16 + 70 * i + 4 * math.sin(2 * math.pi * ph)
        las += note(x, 48 - 30 * ph, 1.0, MINT if i else PINK)
        las += shout(x + (4 if i == 0 else -2), 62 - 30 * ph, "啦", 13, VIOLET_DARK)
    return las + body


def pencil(x1, y1, x2, y2):
    ang = math.degrees(math.atan2(y2 - y1, x2 - x1))
    length = math.hypot(x2 - x1, y2 - y1)
    shape = (rect(0, -4.5, length - 10, 9, 1, SUNSHINE, INK, 1.5)
             + rect(-6, -4.5, 7, 9, 2, PINK, INK, 1.5)
             + rect(0, -4.5, 3, 9, 0, "#B9B4C9", INK, 1.0)
             + polygon(((length - 10, -4.5), (length, 0), (length - 10, 4.5)), "#F5D2A8", INK, 1.3)
             + polygon(((length - 3.5, -1.6), (length, 0), (length - 3.5, 1.6)), INK)
             + line(6, 0, length - 13, 0, "#E8B923", 1.0)
             + text(length / 2 - 2, 3.3, "2B", 8, INK))
    return f'<g transform="translate({x1:.2f},{y1:.2f}) rotate({ang:.2f})">{shape}</g>'


# 9: drawing a life with a 2B pencil: a horror-movie portrait appears.
def dance09(t):
    k = int(t * 8)
    paper = (polygon(((4, 78), (44, 72), (48, 106), (8, 109)), SNOW, INK, 1.5)
             + line(10, 105, 44, 101, "#D0C8EE", 0.8))
    strokes = [
        ellipse(26, 90, 11, 12, None, INK, 1.4),
        line(20, 85, 24, 87, INK, 1.3) + line(24, 85, 20, 87, INK, 1.3),
        circle(31, 86, 2.2, None, INK, 1.3),
        path("M20,95 Q26,92 32,96", None, INK, 1.3),
        path("M15,80 L13,74 M20,78 L20,72 M26,78 L28,72 M33,80 L36,75", None, INK, 1.2),
        path("M22,99 L24,103 M27,99 L26,104 M31,99 L32,102", None, RED, 1.0),
    ]
    drawn = "".join(strokes[:min(k, len(strokes))])
    tips = [(28, 79), (22, 86), (31, 86), (26, 95), (24, 77), (27, 101), (26, 90), (26, 90)]
    tx, ty = tips[k]
    wob = 1.5 * math.sin(k * 2.1)
    bx, by = tx + 34 + wob, ty - 16
    body = kivo(cx=68, cy=56, tilt=-6, eyes="open", mouth="smirk" if k < 6 else "grin",
                look=(-1, 0.8),
                arms=((bx - 68 - 2, by - 56 + 3, -4), (bx - 68 + 5, by - 56 - 2, 6)),
                arms_front=(True, True), feet=((-9, 36), (11, 36)))
    pen = pencil(bx, by, tx + wob, ty)
    done = sparkle(44, 70, 4) if k >= 6 else ""
    return paper + drawn + body + pen + done


# 10: "get lost, not even applause": stomping, red in the face, steaming.
def dance10(t):
    k = int(t * 6)
    up_left = k % 2 == 0
    feet = ((-11, 28), (11, 36)) if up_left else ((-11, 36), (11, 28))
    body = kivo(eyes="angry", mouth="shout", angry=True,
                arms=((-22, 20, 8), (22, 20, -8)), hands=("fist", "fist"),
                feet=feet, tilt=-3 if up_left else 3, look=(0, 0.4))
    steam = ""
    for i, side in enumerate((-1, 1)):
        ph = (t * 2 + i * 0.5) % 1
        steam += puff(51 + side * (16 + 6 * ph), 26 - 18 * ph, 4 + 4 * ph)
    vein = (path("M78,34 q5,-1 5,-6 M88,34 q-5,-1 -5,-6 M78,38 q5,1 5,6 M88,38 q-5,1 -5,6",
                 None, INK, 4.2)
            + path("M78,34 q5,-1 5,-6 M88,34 q-5,-1 -5,-6 M78,38 q5,1 5,6 M88,38 q-5,1 -5,6",
                   None, RED, 2.2))
    dust = ""
    if k % 2 == 1:
        dust = puff(33, 100, 3.4, "#D9CCFF")
    else:
        dust = puff(69, 100, 3.4, "#D9CCFF")
    return body + steam + vein + dust


def egg(x, y, rot):
    return group(ellipse(x, y, 6, 7.5, "#FFF3DC", INK, 1.5) + ellipse(x - 2, y - 3, 1.6, 2.2,
                                                                       SNOW), rot=rot, cx=x,
                 cy=y + 7)


# 11: the diva: "don't stare at me"; and "a swan, while you're still an egg".
def dance11(t):
    s = wave(t)
    k = int(t * 8)
    wag = 6 * math.sin(2 * math.pi * t * 2)
    finger_x, finger_y = 51 + 27 + wag, 60 - 26
    # The index finger wags "no, no": it leans with the hand, motion marks beside it.
    finger = group(rect(finger_x - 1.7, finger_y - 10.5, 3.4, 9, 1.7, SNOW, INK, 1.3),
                   rot=4 * wag, cx=finger_x, cy=finger_y - 2)
    side = 1 if wag > 0 else -1
    finger += path(f"M{finger_x + 7 * side:.2f},{finger_y - 14:.2f} q{3 * side},4 0,8", None,
                   VIOLET_DARK, 1.4)
    finger += path(f"M{finger_x + 11 * side:.2f},{finger_y - 15:.2f} q{3 * side},5 0,10", None,
                   VIOLET_DARK, 1.4)
    body = kivo(tilt=4 * s, eyes="shades", mouth="smirk", bow=True,
                arms=((-21, 16, 12), (27 + wag, -26, -6)), feet=((-6, 36), (12, 35)),
                extras_front=finger, sprout_sway=2 * s)
    glint = sparkle(40 + (k % 4) * 5, 50, 3.2, SNOW) if k % 4 != 3 else ""
    boa = "".join(circle(31 + i * 5.5, 78 + 2.5 * math.sin(i + t * 6.28), 3.2, "#FF9CC2", INK, 1.0)
                  for i in range(8))
    return body + boa + glint + egg(88, 96, 10 * s) + sparkle(92, 80, 2.5, SUNSHINE)


# 12: "I jump, I jump": bouncing with a squash on every landing.
def dance12(t):
    k = int(t * 8)
    heights = (0, 6, 16, 22, 22, 16, 6, 0)
    squash = (0.86, 1.06, 1.04, 1.0, 1.0, 1.04, 1.06, 0.86)[k]
    h = heights[k]
    air = h > 0
    body = kivo(cy=60 - h, squash=squash, eyes="star" if h > 15 else "happy",
                mouth="grin", arms=((-24, -26, 6), (24, -26, -6)) if air else ((-29, 8, 4),
                                                                               (29, 8, -4)),
                feet=((-6, 37), (6, 37)) if air else ((-12, 36), (12, 36)))
    extra = ""
    if air:
        for dx in (-8, 0, 8):
            extra += line(51 + dx, 100 - h * 0.6 + 4, 51 + dx, 106 - h * 0.2, VIOLET_LIGHT, 2)
    else:
        extra += puff(30, 101, 3.5, "#D9CCFF") + puff(72, 101, 3.5, "#D9CCFF")
    sh = ellipse(51, 104, 16 - h * 0.3, 3, "#CFC2FF")
    return sh + extra + body


# 13: "oh~ oh~ oh~": seat-dancing in a swivel chair, pumping the arms in turn.
def dance13(t):
    k = int(t * 8)
    left_up = (k // 2) % 2 == 0
    bob = 3 * math.sin(2 * math.pi * t * 2)
    chair = (rect(24, 82, 54, 8, 4, VIOLET, INK, 1.6)
             + line(51, 90, 51, 100, INK, 3.2)
             + line(38, 104, 64, 104, INK, 3.0)
             + circle(38, 105, 2.6, VIOLET_DARK, INK, 1.1) + circle(64, 105, 2.6, VIOLET_DARK,
                                                                    INK, 1.1))
    back = rect(30, 42, 42, 40, 8, VIOLET_LIGHT, INK, 1.6)
    up = (-22, -34, 8)
    down = (-30, 8, 4)
    arms = (up, (30, 8, -4)) if left_up else (down, (22, -34, -8))
    body = kivo(cy=50 + max(bob, 0), tilt=6 * math.sin(2 * math.pi * t * 2),
                eyes="closed" if k % 2 == 0 else "happy", mouth="o" if k % 2 == 0 else "open",
                arms=arms, feet=((-14, 34), (14, 34)), sprout_sway=-3 * bob)
    oh = shout(86 if left_up else 16, 24, "喔~", 13, PINK)
    notes = note(90 if not left_up else 12, 48, 0.9, MINT, True)
    return back + chair + body + oh + notes


DANCES = [
    (dance01, 8, 15), (dance02, 8, 14), (dance03, 8, 14), (dance04, 6, 13), (dance05, 6, 11),
    (dance06, 6, 14), (dance07, 6, 16), (dance08, 8, 12), (dance09, 8, 22), (dance10, 6, 12),
    (dance11, 8, 14), (dance12, 8, 8), (dance13, 8, 13),
]
