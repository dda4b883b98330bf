#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_host_inputs (fuzz/corpus/fuzz_host_inputs/):
a selector byte (0 script, 1 PNG wallpaper, 2 option values, 3 a
huevane-check report), then the
input. The PNGs cover the colour types, bit depths, a palette with
transparency, a gamma chunk, interlacing and a header over the size limit.

    python3 fuzz/make_host_corpus.py        # rewrites the seed files
"""
import os
import struct
import zlib

SCRIPTS = {
    "script_drag_edit": "drag field 20 220 150 60 8\ndrag strip 10 0 10 40 4\n"
                        "rgb 64 160 224\nhsv 10 20 30\nsnapshot picker\nok\n",
    "script_eyedropper": "key S\ndesktop move 482 300\nwait 100\nsnapshot magnifier\n"
                         "desktop press left\ndesktop release left\nok\n",
    "script_button": "press eyedropper\nmove eyedropper\nrelease eyedropper\nwait 250\n"
                     "desktop press right\ndesktop release right\ncancel\n",
    "script_mouse": "# comment\n\tpress field 0 0 right\nmove strip 1 2\nrelease 3 4 right\n"
                    "press 10 20\nmove 11 21 # held\nrelease 12 22 left\npress strip 5 5 middle\n"
                    "release strip 5 6 middle\nkey 5\nkey down x\nkey up x\nkey s\n",
    "script_magnifier_ok": "key s\nok\n",
    "script_bad_word": "ok\f\n",
    "script_bad_number": "wait 99999999999999999999999\n",
    "script_left_open": "press 51 102\n",
}

OPTIONS = {
    "options_default": ["0.2,0.4,0.6", "1920x1080", "Color", "Huevane"],
    "options_largest": ["1000,-1000,0.5", "16384x16384", "", "Fake"],
    "options_bad": ["nan,0,0", "16385x0", "t", "s"],
}

REPORTS = {
    "report_two_monitors": "huevane-check 1.0.0: x\r\ncompositor: on\r\n"
                           "monitor 1: 2560x1440+0+0 at 150 %\r\n"
                           "monitor 2: 1920x1080-1920+0 at 100 % -- holds\r\n"
                           "hook timeout: 1000 ms (LowLevelHooksTimeout 5000 ms)\r\n"
                           "read getpixel monitor 1: median 19.600 ms, p95 24.100 ms over 21 reads\r\n"
                           "read block monitor 1: median 20.400 ms, p95 25.000 ms over 20 reads\r\n"
                           "read getpixel monitor 2: median 0.030 ms, p95 0.040 ms over 200 reads\r\n"
                           "read block monitor 2: median 0.030 ms, p95 0.040 ms over 200 reads\r\n"
                           "block vs getpixel monitor 1: 81 of 81 cells equal, 81 of 81 as drawn\r\n"
                           "capture exclusion: set yes, reads back 0x11; getpixel reads beneath, "
                           "block reads beneath\r\n"
                           "hook probe: seen 20 of 20, median 0.4 ms, p95 0.9 ms from SendInput "
                           "to the hook\r\npen over pointer window: hook no, cursor no\r\n",
    "report_bad_monitor": "huevane-check 1.0.0\nmonitor 1: 1920x1080+0+0 at 90 %\n",
    "report_frozen_and_pen": "huevane-check 1.1.0: x\nscreen reads: fast (0.05 ms each)\n\n"
                             "monitor 1: 1920x1080+0+0 at 100 %\n"
                             "hook timeout: 300 ms (LowLevelHooksTimeout not set)\n"
                             "read getpixel monitor 1: median 0.050 ms, p95 0.500 ms over 200 reads\n"
                             "read block monitor 1: median 0.040 ms, p95 0.600 ms over 200 reads\n"
                             "capture monitor 1: median 31.500 ms, p95 36.900 ms over 10 captures\n"
                             "picture monitor 1: 2073600 of 2073600 pixels equal\n"
                             "pen test: ran 30 s; pointer window 4 pointer, 0 mouse, 0 hook, 0 "
                             "cursor; default window 5 pointer, 5 mouse, 5 hook, 5 cursor\n"
                             "pen on picture: pen taps 3, touch taps 2, mouse presses 5 (5 signed); "
                             "activated no\n"
                             "hook signature: pen 12, touch 3, mouse 40 events; 15 of the signed "
                             "injected\n",
    "report_json": '{"check_version": "1.1.0", "compositor": true, "monitors": [{"x": 0, "y": 0, '
                   '"width": 2560, "height": 1440, "scale_percent": 150, "getpixel": '
                   '{"median_ms": 19.6, "p95_ms": 24.1, "count": 21}, "block": {"median_ms": 20.4, '
                   '"p95_ms": 25.0, "count": 20}, "capture": {"median_ms": 40.1, "p95_ms": 52.0, '
                   '"count": 10}, "picture_pixels": 3686400, "picture_equal": 3686400}], '
                   '"hook_timeout_ms": 1000, "hook_timeout_set_ms": null, "pen_test": {"ran": '
                   '"no-device"}, "hook_probe": {"probes": 20, "seen": 20, "latency": '
                   '{"median_ms": 0.4, "p95_ms": 0.9, "count": 20}}}',
}


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def adam7(rows, width, height, bpp):
    """The interlaced image data: each pass's pixels, row by row."""
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
              (1, 0, 2, 2), (0, 1, 1, 2)]
    out = b""
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        if not xs:
            continue
        for y in range(y0, height, dy):
            out += b"\0" + b"".join(rows[y][x * bpp:(x + 1) * bpp] for x in xs)
    return out


def png(width, height, color_type, depth, pixels, extra=b"", interlace=0, plte=b"", trns=b""):
    """pixels: one bytes object per row, unfiltered."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color_type]
    bpp = channels * depth // 8
    if interlace:
        raw = adam7(pixels, width, height, bpp)
    else:
        raw = b"".join(b"\0" + row for row in pixels)
    ihdr = struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, interlace)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra
    if plte:
        out += chunk(b"PLTE", plte)
    if trns:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def pngs():
    rgb = [bytes([255, 0, 0, 0, 255, 0]), bytes([0, 0, 255, 10, 20, 30])]
    yield "png_rgb", png(2, 2, 2, 8, rgb)
    yield "png_grey", png(3, 1, 0, 8, [bytes([0, 128, 255])])
    yield "png_grey_alpha_16", png(1, 2, 4, 16, [bytes([1, 2, 3, 4]), bytes([250, 0, 0, 9])])
    yield "png_rgba_16", png(2, 1, 6, 16, [bytes(range(16))])
    yield "png_palette_trns", png(2, 2, 3, 8, [bytes([0, 1]), bytes([2, 0])],
                                  plte=bytes([255, 0, 0, 0, 255, 0, 0, 0, 255]),
                                  trns=bytes([0, 128]))
    yield "png_gamma", png(2, 2, 2, 8, rgb, extra=chunk(b"gAMA", struct.pack(">I", 100000)))
    grid = [bytes((x * 40 + y * 7) % 256 for x in range(5 * 3)) for y in range(5)]
    yield "png_interlaced", png(5, 5, 2, 8, grid, interlace=1)
    yield "png_grey_1bit", png(9, 1, 0, 1, [bytes([0b10110011, 0b10000000])])
    big = png(1, 1, 2, 8, [bytes([9, 9, 9])])
    ihdr = struct.pack(">IIBBBBB", 16384, 16384, 8, 2, 0, 0, 0)
    yield "png_over_limit", big[:8] + chunk(b"IHDR", ihdr) + big[33:]


def main():
    out_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus",
                           "fuzz_host_inputs")
    os.makedirs(out_dir, exist_ok=True)
    seeds = {name: b"\0" + text.encode() for name, text in SCRIPTS.items()}
    seeds.update({name: b"\1" + data for name, data in pngs()})
    seeds.update({name: b"\2" + b"\0".join(v.encode() for v in values)
                  for name, values in OPTIONS.items()})
    seeds.update({name: b"\3" + text.encode() for name, text in REPORTS.items()})
    for name, data in seeds.items():
        assert len(data) <= 1024, name
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
