#!/usr/bin/env python3
"""Checks the include graph of the frame (app/), the platform (platform/), the
resources (res/) and the data generator (tools/gen_assets*):

- each folder includes only what its layer may use (RULES below: a folder
  reaching up, or sideways into another backend, is named with the line);
- no circle: files of one module (name.h and name.cpp) taken together, no
  module reaches itself through its includes.

Prints each folder's modules with what they use, lowest first, then "ok", or
the faults and exit status 1. Usage: check_layers.py [SOURCE_DIR] [--quiet]
"""
import os
import re
import sys

# Folder -> the folders (or single files) its files may include, besides
# system headers. Each entry is the folder's own README.md in one line.
RULES = {
    # The real SDK on Windows: system headers only.
    "platform/win32/sdk.h": [],
    # The services' shapes (USER32, GDI, DirectDraw, DirectInput), the font
    # and small helpers; on Windows the SDK itself.
    "platform": ["platform", "platform/win32/sdk.h"],
    # The emulated window system shared by every emulating backend.
    "platform/core": ["platform/core", "platform"],
    "platform/headless": ["platform/headless", "platform/core", "platform"],
    "platform/sdl2": ["platform/sdl2", "platform/core", "platform"],
    # The thin layer over the real services.
    "platform/win32": ["platform/win32", "platform"],
    # The program's resources, described in the platform's tables.
    "res": ["res", "platform"],
    # The frame: the platform's services and the command ids; never a
    # backend, never the resources themselves (main hands those over).
    "app": ["app", "platform", "res/resource_ids.h"],
    # The programs' entry points: everything they put together.
    "app/main": ["app", "scene", "res", "platform", "platform/core", "platform/win32"],
    # The data generator and its previews: the tools' own helpers only.
    "tools/gen_assets": ["tools/gen_assets", "tools/arguments.h", "tools/files.h",
                         "tools/picture.h", "tools/png_write.h"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    if path in RULES:
        return path
    if path.startswith("tools/gen_assets"):
        return "tools/gen_assets"
    return os.path.dirname(path)


def allowed(folder, target):
    for rule in RULES.get(folder, []):
        if target == rule:
            return True
        if not rule.endswith((".h", ".cpp")) and rule in (folder_of(target), os.path.dirname(target)):
            return True
    return False


def module_of(path):
    return os.path.splitext(path)[0]


def sources(root):
    for top in ("app", "platform", "res", "tools"):
        for base, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                path = os.path.relpath(os.path.join(base, name), root)
                if not name.endswith((".h", ".cpp")):
                    continue
                if top == "tools" and not name.startswith("gen_assets"):
                    continue
                yield path


def includes(root, path):
    with open(os.path.join(root, path), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1)


def circles(graph):
    """Strongly connected components of more than one module, or with a loop."""
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
    graph = {}
    for path in sources(root):
        folder = folder_of(path)
        if folder not in RULES:
            faults.append("%s: its folder %s has no rule here" % (path, folder))
            continue
        mine = module_of(path)
        graph.setdefault(mine, set())
        for number, target in includes(root, path):
            if not os.path.exists(os.path.join(root, target)):
                continue  # a header of the build or a library, found elsewhere
            if not allowed(folder, target):
                faults.append("%s:%d: %s may not include %s" % (path, number, folder, target))
            other = module_of(target)
            if other != mine:
                graph[mine].add(other)
    for part in circles(graph):
        faults.append("circle: " + " -> ".join(part + [part[0]]))
    if not quiet:
        for module in sorted(graph):
            print("%-34s %s" % (module, ", ".join(sorted(graph[module]))))
    if faults:
        print("\n".join(faults))
        return 1
    print("ok: %d modules, no circle, every include allowed" % len(graph))
    return 0


if __name__ == "__main__":
    sys.exit(main())
