"""The list of every asset of the skin, in one place: make_skin writes assets.qrc from it and
check_skin verifies each entry.  Each entry: (file name, width, height, key colour, kind)."""

WHITE = 0xFFFFFF
WEB_KEY = 0xECECEC

FACE_SIZES = [(80, 22), (48, 22), (70, 22), (105, 22), (44, 22), (45, 22), (68, 22), (20, 20)]


def pictures():
    """Yields (name, width, height, key, animated)."""
    items = [
        ("decorPicture1.gif", 50, 50, WHITE, False),
        ("decorPicture2.gif", 60, 65, WHITE, False),
        ("discPicture.gif", 64, 64, WHITE, False),
        ("discPicture-turning.gif", 64, 64, WHITE, True),
    ]
    items += [(f"statusPicture{i}.gif", 100, 30, WHITE, False) for i in range(6)]
    for look in ("play", "pause"):
        for hot in ("", "-hot"):
            items.append((f"playButton-{look}{hot}.gif", 55, 55, WHITE, False))
    for name, size in (("previousButton", 46), ("nextButton", 46), ("modeButton", 36),
                       ("volumeButton", 25)):
        items.append((f"{name}.gif", size, size, WHITE, False))
        items.append((f"{name}-hot.gif", size, size, WHITE, False))
    items += [("speaker.gif", 25, 25, WHITE, False), ("speaker-muted.gif", 25, 25, WHITE, False),
              ("speaker-hot.gif", 25, 25, WHITE, False)]
    for w, h in FACE_SIZES:
        items.append((f"face-{w}x{h}.gif", w, h, WHITE, False))
        items.append((f"face-{w}x{h}-hot.gif", w, h, WHITE, False))
    items.append(("face-20x20-web.gif", 20, 20, WEB_KEY, False))
    items.append(("face-20x20-web-hot.gif", 20, 20, WEB_KEY, False))
    items += [(f"dance{i:02d}.gif", 103, 110, WHITE, True) for i in range(1, 14)]
    items.append(("feedbackPicture.gif", 48, 48, WHITE, False))
    for name in ("spaceButton", "sinaWeiboButton", "tencentWeiboButton"):
        items.append((f"{name}.gif", 57, 57, WHITE, False))
        items.append((f"{name}-hot.gif", 57, 57, WHITE, False))
    items.append(("webPicButton.gif", 50, 50, WEB_KEY, False))
    items.append(("webPicButton-hot.gif", 50, 50, WEB_KEY, False))
    return items


SOUNDS = ["startup.wav", "web.wav"]

# Files whose exact byte length the player relies on.
EXACT_BYTES = {"speaker.gif": 1144, "speaker-muted.gif": 1170, "startup.wav": 14650}


def qrc_text():
    lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/pictures">']
    for name, *_ in pictures():
        lines.append(f'  <file alias="{name}">pictures/{name}</file>')
    lines += ['</qresource>', '<qresource prefix="/sounds">']
    for name in SOUNDS:
        lines.append(f'  <file alias="{name}">sounds/{name}</file>')
    lines += ['</qresource>', '</RCC>', '']
    return "\n".join(lines)


if __name__ == "__main__":
    print(qrc_text(), end="")
