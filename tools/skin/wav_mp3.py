"""Wraps MPEG Layer 3 frames from lame into the start-up clip's RIFF WAVE container.

The clip is exactly 14,650 bytes: RIFF "WAVE", a 30-byte "fmt " chunk (format tag 0x55,
mono, 24000 samples/s, 4000 bytes/s, with the Layer 3 extra fields), a "fact" chunk with the
sample count, the "data" chunk holding whole 96-byte frames, and a closing "LIST"/"INFO" chunk
that fills the clip to its size.  Usage: wav_mp3.py IN.mp3 OUT.wav
"""

import struct
import sys

CLIP_BYTES = 14650
RATE = 24000
BYTES_PER_SECOND = 4000  # 32 kbit/s
FRAME_BYTES = 96  # MPEG-2 Layer III, 32 kbit/s, 24000 Hz: 72 * 32000 / 24000, no padding
SAMPLES_PER_FRAME = 576
CODEC_DELAY = 1393  # what the Windows Layer 3 codec writes; it only informs the decoder
HEADER_BYTES = 12 + (8 + 30) + (8 + 4) + 8


def frames(mp3):
    """Splits the stream into frames, checking every header is the one the format promises."""
    out = []
    pos = 0
    while pos + 4 <= len(mp3):
        h = struct.unpack(">I", mp3[pos:pos + 4])[0]
        sync = h >> 21
        version = (h >> 19) & 3  # 2 = MPEG-2
        layer = (h >> 17) & 3  # 1 = Layer III
        bitrate = (h >> 12) & 15  # MPEG-2 Layer III index 4 = 32 kbit/s
        rate = (h >> 10) & 3  # MPEG-2 index 1 = 24000 Hz
        padding = (h >> 9) & 1
        mode = (h >> 6) & 3  # 3 = single channel
        if (sync, version, layer, bitrate, rate, padding, mode) != (0x7FF, 2, 1, 4, 1, 0, 3):
            raise SystemExit(f"unexpected frame header {h:08X} at byte {pos}")
        out.append(mp3[pos:pos + FRAME_BYTES])
        pos += FRAME_BYTES
    if pos != len(mp3):
        raise SystemExit(f"{len(mp3) - pos} stray bytes after the last frame")
    return out


def build(mp3):
    all_frames = frames(mp3)
    # The largest whole number of frames that leaves room for the closing chunk.
    count = (CLIP_BYTES - HEADER_BYTES - 16) // FRAME_BYTES
    if len(all_frames) < count:
        raise SystemExit(f"only {len(all_frames)} frames, {count} needed")
    data = b"".join(all_frames[:count])
    fmt = struct.pack("<HHIIHHHHIHHH", 0x55, 1, RATE, BYTES_PER_SECOND, 1, 0, 12,
                      1, 2, FRAME_BYTES, 1, CODEC_DELAY)
    fact = struct.pack("<I", count * SAMPLES_PER_FRAME)
    body = (b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
            + b"fact" + struct.pack("<I", len(fact)) + fact
            + b"data" + struct.pack("<I", len(data)) + data)
    room = CLIP_BYTES - 8 - len(body) - 8 - 4 - 8  # LIST header, "INFO", INAM header
    name = b"Kivo says hello"
    name = name + b"\0" * (room - len(name))
    info = b"INFO" + b"INAM" + struct.pack("<I", len(name)) + name
    body += b"LIST" + struct.pack("<I", len(info)) + info
    clip = b"RIFF" + struct.pack("<I", len(body)) + body
    assert len(clip) == CLIP_BYTES, len(clip)
    return clip


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        clip = build(f.read())
    with open(sys.argv[2], "wb") as f:
        f.write(clip)
