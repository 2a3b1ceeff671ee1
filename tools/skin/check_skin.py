"""Verifies the committed skin: sizes, frames, colour key, exact byte lengths and the clips.

Usage: check_skin.py [ASSETS_DIR]; prints one line per failed check and a closing count.
"""

import os
import re
import struct
import subprocess
import sys

import asset_names
from skinlib import CONVERT, WHITE, key_rgb, near_key

MAX_TOTAL_BYTES = 2 * 1024 * 1024


class Report:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL: {what}")
        return ok


# ---------------------------------------------------------------- GIF structure


def gif_blocks(data):
    """Parses a GIF far enough to list its frames.

    Returns (width, height, frames, loops) where each frame is a dict with its size, position,
    delay, disposal, transparent index and the colour table that applies to it.
    """
    if data[:6] not in (b"GIF87a", b"GIF89a"):
        raise ValueError("not a GIF")
    width, height, flags = struct.unpack("<HHB", data[6:11])
    pos = 13
    global_table = None
    if flags & 0x80:
        n = 3 * (2 << (flags & 7))
        global_table = data[pos:pos + n]
        pos += n
    frames, loops, gce = [], False, {}
    while pos < len(data):
        tag = data[pos]
        if tag == 0x3B:
            break
        if tag == 0x21:
            label = data[pos + 1]
            pos += 2
            if label == 0xF9:
                packed, delay, tindex = struct.unpack("<BHB", data[pos + 1:pos + 5])
                gce = {"delay": delay, "disposal": (packed >> 2) & 7,
                       "transparent": tindex if packed & 1 else None}
            if label == 0xFF and data[pos + 1:pos + 12] == b"NETSCAPE2.0":
                loops = True
            while data[pos] != 0:
                pos += data[pos] + 1
            pos += 1
            continue
        if tag != 0x2C:
            raise ValueError(f"unknown block {tag:#x} at {pos}")
        x, y, w, h, packed = struct.unpack("<HHHHB", data[pos + 1:pos + 10])
        pos += 10
        table = global_table
        if packed & 0x80:
            n = 3 * (2 << (packed & 7))
            table = data[pos:pos + n]
            pos += n
        pos += 1  # LZW minimum code size
        while data[pos] != 0:
            pos += data[pos] + 1
        pos += 1
        frames.append(dict(gce, x=x, y=y, w=w, h=h, table=table))
        gce = {}
    return width, height, frames, loops


def frame_pixels(path, width, height, count):
    """The composed frames as RGBA bytes, as a player shows them."""
    raw = subprocess.run([CONVERT, path, "-coalesce", "-depth", "8", "RGBA:-"], check=True,
                         capture_output=True).stdout
    size = width * height * 4
    if len(raw) != size * count:
        raise ValueError(f"{len(raw)} bytes of pixels for {count} frames")
    return [raw[i * size:(i + 1) * size] for i in range(count)]


def fringe_faults(rgba, width, height, key):
    """Counts pixels that break the colour key.

    Returns (half-transparent pixels, opaque pixels of the key colour, which would punch holes
    into the art, pale pixels touching the key, see-through pixels)."""
    k = key_rgb(key)
    n = width * height
    is_key = bytearray(n)
    partial = holes = 0
    for i in range(n):
        a = rgba[4 * i + 3]
        if 0 < a < 255:
            partial += 1
        if a == 0 or tuple(rgba[4 * i:4 * i + 3]) == k:
            is_key[i] = 1
            holes += a == 255
    fringe = 0
    for y in range(height):
        for x in range(width):
            i = y * width + x
            if is_key[i] or not near_key(rgba[4 * i:4 * i + 3], key):
                continue
            if any(0 <= x + dx < width and 0 <= y + dy < height
                   and is_key[(y + dy) * width + x + dx] for dy in (-1, 0, 1) for dx in (-1, 0, 1)):
                fringe += 1
    return partial, holes, fringe, sum(is_key)


def check_picture(report, folder, name, width, height, key, animated, frame_counts):
    path = os.path.join(folder, name)
    if not report.check(os.path.isfile(path), f"{name}: missing"):
        return
    with open(path, "rb") as f:
        data = f.read()
    try:
        w, h, frames, loops = gif_blocks(data)
    except (ValueError, IndexError, struct.error) as e:
        report.check(False, f"{name}: unreadable GIF ({e})")
        return
    report.check((w, h) == (width, height), f"{name}: {w}x{h}, want {width}x{height}")
    want_frames = frame_counts.get(name, 1)
    report.check(len(frames) == want_frames, f"{name}: {len(frames)} frames, want {want_frames}")
    if animated:
        report.check(loops, f"{name}: no loop extension, the animation would stop")
        report.check(all(fr.get("delay", 0) > 0 for fr in frames), f"{name}: a frame without delay")
        report.check(all(fr.get("disposal") == 2 for fr in frames),
                     f"{name}: frames must be disposed to background")
    for i, fr in enumerate(frames):
        t = fr.get("transparent")
        if not report.check(t is not None, f"{name} frame {i}: no transparent index"):
            continue
        rgb = tuple(fr["table"][3 * t:3 * t + 3])
        report.check(rgb == key_rgb(key),
                     f"{name} frame {i}: transparent colour {rgb}, want the key {key_rgb(key)}")
    for i, rgba in enumerate(frame_pixels(path, width, height, len(frames))):
        partial, holes, fringe, keyed = fringe_faults(rgba, width, height, key)
        report.check(partial == 0, f"{name} frame {i}: {partial} half-transparent pixels")
        report.check(holes == 0, f"{name} frame {i}: {holes} opaque pixels of the key colour")
        report.check(fringe == 0, f"{name} frame {i}: {fringe} pale fringe pixels beside the key")
        report.check(0 < keyed < width * height or key != WHITE or name.startswith("face"),
                     f"{name} frame {i}: no see-through or no art at all ({keyed} key pixels)")


# ---------------------------------------------------------------- sound clips


def riff_chunks(data):
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("not a RIFF WAVE")
    size = struct.unpack("<I", data[4:8])[0]
    if size != len(data) - 8:
        raise ValueError(f"RIFF size {size} but file has {len(data) - 8} bytes after it")
    chunks, pos = [], 12
    while pos < len(data):
        cid, csize = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        if pos + 8 + csize > len(data):
            raise ValueError(f"chunk {cid!r} runs past the end")
        chunks.append((cid, data[pos + 8:pos + 8 + csize]))
        pos += 8 + csize + (csize & 1)
    return chunks


def check_startup(report, path):
    with open(path, "rb") as f:
        data = f.read()
    report.check(len(data) == asset_names.EXACT_BYTES["startup.wav"],
                 f"startup.wav: {len(data)} bytes, want 14650")
    try:
        chunks = riff_chunks(data)
    except ValueError as e:
        report.check(False, f"startup.wav: {e}")
        return
    ids = [c[0] for c in chunks]
    report.check(ids[:3] == [b"fmt ", b"fact", b"data"],
                 f"startup.wav: chunks {ids}, want fmt, fact, data first")
    fmt = dict(chunks).get(b"fmt ", b"")
    if report.check(len(fmt) == 30, f"startup.wav: fmt chunk of {len(fmt)} bytes, want 30"):
        tag, ch, rate, bps, align, bits, extra, mid, flags, block, fpb, delay = struct.unpack(
            "<HHIIHHHHIHHH", fmt)
        report.check((tag, ch, rate, bps) == (0x55, 1, 24000, 4000),
                     f"startup.wav: format {tag:#x}, {ch} ch, {rate} Hz, {bps} B/s")
        report.check((extra, mid, block, fpb) == (12, 1, 96, 1),
                     f"startup.wav: Layer 3 fields {extra}, {mid}, {block}, {fpb}")
    body = dict(chunks).get(b"data", b"")
    frames = len(body) // 96
    report.check(len(body) % 96 == 0 and frames > 0, "startup.wav: data is not whole frames")
    report.check(all(body[i:i + 2] == b"\xff\xf3" and (body[i + 2] >> 1) & 1 == 0
                     for i in range(0, len(body), 96)),
                 "startup.wav: a data frame is not an unpadded MPEG-2 Layer III frame")
    fact = dict(chunks).get(b"fact", b"\0\0\0\0")
    report.check(struct.unpack("<I", fact[:4])[0] == frames * 576,
                 "startup.wav: fact sample count does not match the frames")


def check_pcm(report, path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        chunks = dict(riff_chunks(data))
    except ValueError as e:
        report.check(False, f"{os.path.basename(path)}: {e}")
        return
    fmt = chunks.get(b"fmt ", b"")
    ok = len(fmt) >= 16
    if ok:
        tag, ch, rate, bps, align, bits = struct.unpack("<HHIIHH", fmt[:16])
        ok = tag == 1 and bps == rate * align and align == ch * bits // 8
    report.check(ok, f"{os.path.basename(path)}: not a consistent PCM format")
    report.check(len(chunks.get(b"data", b"")) > 0, f"{os.path.basename(path)}: no sound data")


# ---------------------------------------------------------------- whole skin


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    assets = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "assets")
    import controls  # noqa: E402 (only for the frame counts)
    import dances

    counts = {f"dance{i + 1:02d}.gif": n for i, (_, n, _) in enumerate(dances.DANCES)}
    counts.update({name: len(makers) for name, (makers, _) in controls.ANIMATIONS.items()})
    report = Report()
    pictures = os.path.join(assets, "pictures")
    for name, w, h, key, animated in asset_names.pictures():
        check_picture(report, pictures, name, w, h, key, animated, counts)
    for name in ("speaker.gif", "speaker-muted.gif"):
        path = os.path.join(pictures, name)
        if os.path.isfile(path):
            report.check(os.path.getsize(path) == asset_names.EXACT_BYTES[name],
                         f"{name}: {os.path.getsize(path)} bytes, want "
                         f"{asset_names.EXACT_BYTES[name]}")
    check_startup(report, os.path.join(assets, "sounds", "startup.wav"))
    check_pcm(report, os.path.join(assets, "sounds", "web.wav"))
    with open(os.path.join(assets, "assets.qrc"), encoding="utf-8") as f:
        report.check(f.read() == asset_names.qrc_text(), "assets.qrc does not list the skin")
    listed = {n for n, *_ in asset_names.pictures()}
    # The manifest is what the windows are coded against: every path it names must exist.
    manifest = os.path.join(assets, "MANIFEST.md")
    named = []
    if os.path.isfile(manifest):  # absent when the skin is made into a scratch folder
        with open(manifest, encoding="utf-8") as f:
            named = re.findall(r"`:/(pictures|sounds)/([\w.-]+)`", f.read())
    unknown = [f"{folder}/{name}" for folder, name in named
               if name not in (listed if folder == "pictures" else asset_names.SOUNDS)]
    report.check(not unknown, f"MANIFEST.md names assets that do not exist: {unknown}")
    extra = set(os.listdir(pictures)) - listed
    report.check(not extra, f"pictures not in the resource list: {sorted(extra)}")
    folders = (pictures, os.path.join(assets, "sounds"))
    total = sum(os.path.getsize(os.path.join(d, f)) for d in folders for f in os.listdir(d))
    report.check(total < MAX_TOTAL_BYTES, f"assets take {total} bytes, more than 2 MB")
    print(f"skin: {total} bytes in {len(listed) + 2} files")
    print(f"{report.passed} passed, {report.failed} failed")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
