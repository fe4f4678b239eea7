#!/usr/bin/env python3
"""Checks the include graph of the whole tree (app/, platform/, programs/,
raster/, res/, scene/, tools/ and tests/):

- each layer includes only what it may use (RULES below: a layer reaching
  up, or sideways into another backend, is named with the line);
- no circle between layers, nor between modules (name.h and name.cpp taken
  together) inside them.

Prints each layer with the layers it uses, then "ok", or the faults and exit
status 1. Usage: check_layers.py [SOURCE_DIR] [--quiet]
"""
import os
import re
import sys

# Layer -> what its files may include besides system headers: folders (their
# own files, not their subfolders), single headers, or "name/" for a whole
# subtree. A layer is a folder, a single file, or a name prefix (its files'
# names begin with it). Each entry is the folder's README.md in one line.
RULES = {
    # The real SDK on Windows: system headers only.
    "platform/win32/sdk.h": [],
    # The services' shapes (USER32, GDI, DirectDraw, DirectInput), the font,
    # the worker threads and small helpers; on Windows the SDK itself.
    "platform": ["platform", "platform/win32/sdk.h"],
    # The emulated window system shared by every emulating backend.
    "platform/core": ["platform/core", "platform"],
    "platform/headless": ["platform/headless", "platform/core", "platform"],
    "platform/sdl2": ["platform/sdl2", "platform/core", "platform"],
    "platform/web": ["platform/web", "platform/core", "platform"],
    # The thin layer over the real services.
    "platform/win32": ["platform/win32", "platform"],
    # The program's resources, described in the platform's tables.
    "res": ["res", "platform"],
    # The frame: the platform's services and the command ids; never a
    # backend, the scene or the rasteriser.
    "app": ["app", "platform", "res/resource_ids.h"],
    # The rasteriser: nothing outside itself.
    "raster": ["raster"],
    # The scene drawn into memory: the rasteriser and the worker threads.
    "scene": ["scene", "raster", "platform/threads.h"],
    # The application class, derived from the frame's DDApp.
    "scene/cube_app": ["scene", "raster", "app/ddapp.h", "app/frame_view.h", "platform",
                       "res/resource_ids.h"],
    # The programs' entry points: everything they put together.
    "programs": ["app", "scene", "res", "platform", "platform/core", "platform/sdl2",
                 "platform/web", "platform/win32"],
    # The tools: the scene, the rasteriser, the platform's headers, how a
    # monitor shows the screen (timed by the benchmark), the resources (for
    # the resource script) and their own helpers.
    "tools": ["tools", "scene", "raster", "platform", "platform/core/present.h", "res"],
    # The data generator and its previews: the tools' own helpers only.
    "tools/gen_assets": ["tools/gen_assets", "tools/arguments.h", "tools/files.h",
                         "tools/picture.h", "tools/png_write.h"],
}
# A test suite: its own folder, the shared support and anything of the tree,
# never another suite's files.
TREE = ["app/", "platform/", "raster/", "res/", "scene/", "tools/"]
for suite in ("desktop", "e2e", "frame", "fuzz", "platform", "raster", "scene", "support",
              "tools"):
    RULES["tests/" + suite] = ["tests/" + suite, "tests/support"] + TREE

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer_of(path):
    """The most specific layer naming the file: itself, a name prefix, its folder."""
    stem = os.path.splitext(path)[0]
    best = None
    for key in RULES:
        by_name = stem.startswith(key) and "/" not in stem[len(key):]
        if key in (path, os.path.dirname(path)) or by_name:
            if best is None or len(key) > len(best):
                best = key
    return best or os.path.dirname(path)


def allowed(layer, target):
    for rule in RULES.get(layer, []):
        if rule.endswith("/"):
            if target.startswith(rule):
                return True
        elif rule in (target, layer_of(target), os.path.dirname(target)):
            return True
    return False


def sources(root):
    for top in ("app", "platform", "programs", "raster", "res", "scene", "tools", "tests"):
        for base, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(base, name), root)


def includes(root, path):
    """The tree's files a file includes, searched as the compiler does: beside
    the file, then from the top (the include views), then tests/ for tests."""
    places = [os.path.dirname(path), ""] + (["tests"] if path.startswith("tests/") else [])
    with open(os.path.join(root, path), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            for place in places:
                target = os.path.normpath(os.path.join(place, m.group(1)))
                if os.path.isfile(os.path.join(root, target)):
                    yield number, target
                    break  # not found anywhere: a header of the build or a library


def circles(graph):
    """Strongly connected components of more than one node, or with a loop."""
    index, low, stack, on, found, counter = {}, {}, [], set(), [], [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in sorted(graph.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on.discard(w)
                part.append(w)
                if w == v:
                    break
            if len(part) > 1 or v in graph.get(v, ()):
                found.append(sorted(part))

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("-")]
    quiet = "--quiet" in sys.argv
    root = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    faults = []
    modules, layers = {}, {}
    for path in sources(root):
        layer = layer_of(path)
        if layer not in RULES:
            faults.append("%s: its folder %s has no rule here" % (path, layer))
            continue
        mine = os.path.splitext(path)[0]
        modules.setdefault(mine, set())
        layers.setdefault(layer, set())
        for number, target in includes(root, path):
            if not allowed(layer, target):
                faults.append("%s:%d: %s may not include %s" % (path, number, layer, target))
            if os.path.splitext(target)[0] != mine:
                modules[mine].add(os.path.splitext(target)[0])
            if layer_of(target) != layer:
                layers[layer].add(layer_of(target))
    for kind, graph in (("layers", layers), ("modules", modules)):
        for part in circles(graph):
            faults.append("circle of %s, each reaching the others: %s" % (kind, ", ".join(part)))
    if not quiet:
        for layer in sorted(layers):
            print("%-22s %s" % (layer, ", ".join(sorted(layers[layer]))))
    if faults:
        print("\n".join(faults))
        return 1
    print("ok: %d layers, %d modules, no circle, every include allowed" % (len(layers), len(modules)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
