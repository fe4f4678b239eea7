"""Frames of two builds of kelvo-render compared byte for byte: the spreads
each writes in one run (raw back buffers in --out-dir), with the frame-rate
text and without, and contact sheets as PNG pictures that must decode to the
same pixels. Shared by wine_render.py and web_render.py, which run the
native renderer beside another build of it.
"""
import filecmp
import os
import shutil
import struct
import subprocess
import time
import zlib

# The folder each spread goes into, and whether its frames carry the text.
KINDS = {"text": True, "plain": False}


class RenderFailure(Exception):
    pass


def spread_args(assets, folder, text, modes, shadings, starts, frames_each):
    return (["--assets", assets, "--mode", ",".join(modes), "--shading", shadings,
             "--frame", starts, "--frames", str(frames_each), "--out-dir", folder,
             "--format", "raw"] + ([] if text else ["--no-text"]))


def png_pixels(path):
    """Width, height and RGB rows of an 8-bit RGB PNG as the renderers write
    them (not interlaced, any row filter)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + " is not a PNG picture")
    at, idat, header = 8, b"", None
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None or header[2:4] != (8, 2) or header[6] != 0:
        raise ValueError("%s: not an 8-bit RGB PNG (header %r)" % (path, header))
    width, height = header[:2]
    raw = zlib.decompress(idat)
    stride = width * 3
    prev = bytearray(stride)
    rows = []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b = prev[i]
            c = prev[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                raise ValueError("%s: row %d has filter %d" % (path, y, kind))
        rows.append(bytes(line))
        prev = line
    return width, height, b"".join(rows)


def run(what, command, env=None):
    """Seconds the command took; RenderFailure when it did not end well."""
    started = time.time()
    done = subprocess.run(command, env=env, capture_output=True, timeout=600)
    seconds = time.time() - started
    if done.returncode != 0:
        raise RenderFailure("%s ended with status %d: %s" % (
            what, done.returncode, done.stderr.decode(errors="replace").strip()))
    return seconds


def compare_spreads(native_dir, other_dir, expected):
    """The KINDS' folders of both sides file by file: (failures, identical
    frames, frames, bytes of the identical ones)."""
    failures = []
    same = total = size = 0
    for kind in KINDS:
        names = sorted(os.listdir(os.path.join(native_dir, kind)))
        total += len(names)
        if len(names) != expected:
            failures.append("the native renderer wrote %d frames %s, not %d"
                            % (len(names), kind, expected))
        if sorted(os.listdir(os.path.join(other_dir, kind))) != names:
            failures.append("the two %s folders hold different files" % kind)
        for name in names:
            a = os.path.join(native_dir, kind, name)
            b = os.path.join(other_dir, kind, name)
            if os.path.isfile(b) and filecmp.cmp(a, b, shallow=False):
                same += 1
                size += os.path.getsize(a)
            else:
                failures.append("differs: %s/%s" % (kind, name))
    return failures, same, total, size


def compare_sheets(native_png, other_png):
    """Failures, none when both PNG pictures hold the same pixels."""
    try:
        native = png_pixels(native_png)
        other = png_pixels(other_png)
    except (ValueError, OSError, zlib.error) as e:
        return ["the PNG sheets: %s" % e]
    if other != native:
        return ["the PNG sheets differ (%dx%d and %dx%d)" % (native[:2] + other[:2])]
    print("the PNG sheets (%dx%d) hold the same pixels" % native[:2], flush=True)
    return []


def report(failures, out):
    """Exit status: 0 and the frames removed when nothing failed, else 1 and
    the frames kept in out."""
    if failures:
        for line in failures[:20]:
            print("FAILED: " + line, flush=True)
        print("the frames are kept in " + out, flush=True)
        return 1
    shutil.rmtree(out, ignore_errors=True)
    return 0
