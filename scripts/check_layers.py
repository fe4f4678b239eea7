#!/usr/bin/env python3
"""Checks the include graph of the whole tree (each top folder a layer of
layers.txt lives in: app/, platform/, programs/, raster/, res/, scene/,
tools/ and tests/):

- each layer includes only what it may use (SOURCE_DIR/layers.txt, the one
  place the rules are kept: a layer reaching up, or sideways into another
  backend, is named with the line);
- no circle between layers, nor between modules (name.h and name.cpp taken
  together) inside them.

Prints each layer with the layers it uses, then "ok", or the faults and exit
status 1. Usage: check_layers.py [SOURCE_DIR] [--quiet]
"""
import os
import re
import sys

# Layer -> what its files may include, from layers.txt (whose head says how
# it reads).
RULES = {}

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


def read_rules(root):
    """layers.txt's lines "LAYER: WHAT IT MAY USE"; None and the fault if one is not."""
    rules = {}
    name = os.path.join(root, "layers.txt")
    try:
        with open(name, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError as e:
        return None, "%s: %s" % (name, e.strerror)
    for number, line in enumerate(lines, 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        layer, colon, uses = line.partition(":")
        layer = layer.strip()
        if not colon or not layer or " " in layer:
            return None, "%s:%d: not \"LAYER: WHAT IT MAY USE\": %s" % (name, number, line)
        if layer in rules:
            return None, "%s:%d: %s has a rule already" % (name, number, layer)
        rules[layer] = uses.split()
    return rules, None


def sources(root):
    # Every top folder a layer lives in.
    for top in sorted({layer.split("/")[0] for layer in RULES}):
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
    rules, fault = read_rules(root)
    if fault:
        print(fault)
        return 1
    RULES.update(rules)
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
