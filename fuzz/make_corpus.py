#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_actions (fuzz/corpus/fuzz_actions/) in the
byte format that fuzz_actions.cpp reads: a screen byte, then requests, each a
header byte, (a version,) three raw floats, a title and its operations.

    python3 fuzz/make_corpus.py        # rewrites the seed files
"""
import os
import struct

OPS = ["press", "move", "release", "drag", "raw_button", "raw_move", "key", "raw_key",
       "edit_rgb", "edit_hsv", "raw_edit", "eyedropper", "desktop_move", "desktop_press",
       "desktop_release", "desktop_event", "hook_dispatch", "wait", "raw_draw", "failure",
       "ok", "cancel"]
OP = {name: i for i, name in enumerate(OPS)}
FIELD, STRIP, PANEL = 0, 1, 2
RAW = 0xF000


def u16(v): return struct.pack("<H", v)
def i32(v): return struct.pack("<i", v)
def u32(v): return struct.pack("<I", v)
def f32(v): return struct.pack("<f", v)


def coord(v, span, bias):
    return u16(v + bias) if 0 <= v + bias < span else u16(RAW) + i32(v)


def pc(v): return coord(v, 448, 32)      # panel coordinate
def sc(v): return coord(v, 2048, 64)     # screen coordinate
def ev(v): return coord(v, 288, 16)      # editor value


def op(name, *payload, high=0):
    return bytes([OP[name] | high]) + b"".join(payload)


def request(r, g, b, title="Color", hot=True, version=None):
    header = (0 if title is not None else 1) | (0 if hot else 2) | (4 if version is not None else 0)
    t = (title or "").encode()[:31]
    header |= len(t) << 3
    out = bytes([header])
    if version is not None:
        out += i32(version)
    return out + f32(r) + f32(g) + f32(b) + t


def mouse(name, place, x, y, button=0):
    if name == "move":
        return op(name, bytes([place]), pc(x), pc(y))
    return op(name, bytes([button]), bytes([place]), pc(x), pc(y))


def key(code):
    if code == ord("S"):
        return op("key", b"\x00")
    if code == ord("s"):
        return op("key", b"\x01")
    return op("key", b"\x03", u32(code))


def wait(ms): return op("wait", bytes([ms // 5]))


SEEDS = {
    "drag_and_edit": b"\x00" + request(0.5, 0.25, 0.75) + b"".join([
        mouse("press", FIELD, 10, 20), mouse("move", FIELD, 100, 50),
        mouse("move", FIELD, 300, -20), mouse("release", FIELD, 300, -20),
        op("drag", bytes([STRIP]), pc(5), pc(0), pc(5), pc(255), b"\x07", b"\x00"),
        op("edit_rgb", ev(0), ev(255), ev(0)), op("edit_hsv", ev(85), ev(255), ev(255)),
        op("ok")]),
    "raw_events": b"\x00" + request(float("nan"), float("inf"), -1e30, title=None) + b"".join([
        op("raw_button", b"\x04", pc(40), pc(60)),           # 0x80|0x20 press in the field
        op("raw_move", b"\xc0", i32(-1), pc(41), pc(61)),    # any flags
        op("raw_move", b"\x06", pc(2**31 - 1), pc(-2**31)),  # 0x80|0x60: the right button, extreme position
        op("raw_button", b"\x00", pc(0), pc(0)),
        op("raw_edit", b"\x02", i32(-2**31), i32(2**31 - 1), i32(-1)),  # RGB, no clamp
        op("raw_edit", b"\x03", i32(2**31 - 1), i32(-2**31), i32(300)),  # HSV, no clamp
        op("raw_draw", b"\x00"), op("raw_draw", b"\xff", i32(-7)),
        op("cancel")]),
    "eyedropper": b"\x00" + request(0.1, 0.2, 0.3) + b"".join([
        key(ord("S")), wait(250), op("desktop_move", sc(100), sc(100)), wait(100),
        op("desktop_press", b"\x00"), op("desktop_release", b"\x00"), op("ok")]) +
        request(1.0, 1.0, 1.0, hot=False) + b"".join([
            op("eyedropper"), op("desktop_move", sc(-5), sc(-5)), wait(200),
            op("desktop_press", b"\x01"), op("desktop_release", b"\x01"), op("cancel")]),
    "eyedropper_edges": b"\x05" + request(0.0, 0.0, 0.0, title="") + b"".join([
        key(ord("s")), op("desktop_move", sc(1919), sc(1079)), wait(100),
        op("hook_dispatch", b"\x80", i32(-1), sc(3), sc(4), u32(0)),
        op("desktop_event", b"\x03", sc(10), sc(10)),
        op("desktop_release", b"\x00"),                     # release before any press
        op("raw_key", b"\x00"),                             # S again while sampling
        op("eyedropper", high=0x80),                        # the button while sampling
        op("edit_rgb", ev(1), ev(2), ev(3)),                # the picker edited while sampling
        op("raw_button", b"\x04", pc(100), pc(100)),
        op("raw_move", b"\x04", pc(120), pc(90)),
        op("desktop_press", b"\x00"), op("desktop_move", sc(2**31 - 1), sc(-2**31)),
        op("desktop_release", b"\x00"), op("ok")]) +
        request(0.5, 0.5, 0.5, version=3),
    "failures": b"\x00" + request(0.9, 0.1, 0.4) + b"".join([
        op("failure", b"\x04"), key(ord("S")),              # hook cannot be installed
        op("failure", b"\x01"), op("eyedropper"),           # magnifier panel not created
        op("failure", b"\x03"), key(ord("S")), wait(150),   # magnifier raster not created
        op("desktop_press", b"\x00"), op("desktop_release", b"\x00"),
        op("failure", b"\x09"), key(ord("S")),              # magnifier record not allocated
        op("failure", b"\x06"), op("failure", b"\x08"), key(ord("S")), wait(300),
        op("desktop_move", sc(50), sc(50)),
        op("desktop_press", b"\x01"), op("desktop_release", b"\x00"),
        op("failure", b"\x00"), key(ord("s")), op("ok")]),
    "several_requests": b"\x07" + b"".join(
        request(r, g, b, title=t, hot=h) + mouse("press", FIELD, 128, 128) +
        mouse("move", FIELD, 129, 127) + mouse("release", PANEL, 500, 500) + op(end)
        for (r, g, b, t, h, end) in [
            (3.4e38, -3.4e38, 1e-45, "A", False, "ok"),
            (-0.0, 0.999, 1.0000001, None, True, "cancel"),
            (8421504.0, -8421504.0, 0.5, "Colour of the light", True, "ok"),
            (0.25, 0.5, 0.75, "last", True, "ok")]),
}


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "fuzz_actions")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
