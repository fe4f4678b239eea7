#!/usr/bin/env python3
"""The layers' rules as both their readers take them from a layers.txt:
scripts/check_layers.py on a small tree of its own, and cmake/layers.cmake
(the include views kelvo_target makes) through cmake -P.

Usage: check_layers_test.py [--cmake CMAKE] [unittest arguments]
"""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

SOURCE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
CMAKE = "cmake"
SCRATCH = tempfile.TemporaryDirectory()

RULES = """\
# A comment: ignored, as is the blank line.

low: low
high: high low
# A name prefix and a single header brought with what it includes.
high/special: high low/one.h
side:
"""


class Tree:
    """A scratch source tree: its files and its layers.txt."""

    def __init__(self, files, rules=RULES):
        self.root = tempfile.mkdtemp(dir=SCRATCH.name)
        for path, text in dict(files, **{"layers.txt": rules}).items():
            full = os.path.join(self.root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write(textwrap.dedent(text))

    def check(self):
        run = subprocess.run([sys.executable, os.path.join(SOURCE, "scripts", "check_layers.py"),
                              self.root, "--quiet"], capture_output=True, text=True)
        return run.returncode, run.stdout + run.stderr

    def view(self, layer, uses=()):
        """kelvo_layer_headers for a target of LAYER: (status, headers or error)."""
        script = os.path.join(self.root, "view.cmake")
        with open(script, "w", encoding="utf-8") as f:
            f.write("cmake_minimum_required(VERSION 3.22)\n"
                    "include(%s/cmake/layers.cmake)\n"
                    "kelvo_layer_headers(headers example LAYER ${LAYER} USES ${USES})\n"
                    "message(\"headers=${headers}\")\n" % SOURCE)
        run = subprocess.run([CMAKE, "-DPROJECT_SOURCE_DIR=" + self.root, "-DLAYER=" + layer,
                              "-DUSES=" + ";".join(uses), "-P", script],
                             capture_output=True, text=True)
        out = run.stdout + run.stderr
        if run.returncode == 0:
            line = [l for l in out.splitlines() if l.startswith("headers=")][0]
            return 0, sorted(h for h in line[len("headers="):].split(";") if h)
        return run.returncode, " ".join(out.split())


GOOD = {
    "low/one.h": '#include "low/two.h"\n',
    "low/two.h": "",
    "low/three.h": "",
    "low/one.cpp": '#include "low/one.h"\n#include <vector>\n',
    "high/top.h": '#include "low/one.h"\n',
    "high/top.cpp": '#include "high/top.h"\n#include "low/three.h"\n',
    "high/special.cpp": '#include "low/one.h"\n#include "high/top.h"\n',
    "side/alone.cpp": '#include "not/in/the/tree.h"\n',
}


class CheckLayersTest(unittest.TestCase):
    def test_a_tree_keeping_its_rules_passes(self):
        status, out = Tree(GOOD).check()
        self.assertEqual(status, 0, out)
        self.assertIn("ok: 4 layers", out)

    def test_an_include_the_file_does_not_allow_is_named_with_its_line(self):
        tree = Tree(dict(GOOD, **{"low/two.cpp": '#include "low/two.h"\n\n#include "high/top.h"\n',
                                  "high/special.cpp": '#include "low/three.h"\n',
                                  "side/alone.cpp": '#include "low/one.h"\n'}))
        status, out = tree.check()
        self.assertEqual(status, 1)
        self.assertIn("low/two.cpp:3: low may not include high/top.h", out)
        # The prefix layer gets its own rule, narrower than its folder's.
        self.assertIn("high/special.cpp:1: high/special may not include low/three.h", out)
        self.assertIn("side/alone.cpp:1: side may not include low/one.h", out)

    def test_the_rule_comes_from_the_file(self):
        files = dict(GOOD, **{"low/two.cpp": '#include "high/top.h"\n'})
        status, out = Tree(files, RULES.replace("low: low", "low: low high")).check()
        # Allowed now, so only the circle it makes is left.
        self.assertEqual(status, 1)
        self.assertNotIn("may not include", out)
        self.assertIn("circle of layers, each reaching the others: high, low", out)

    def test_circles_unknown_folders_and_bad_rules_are_faults(self):
        status, out = Tree(dict(GOOD, **{"low/three.h": '#include "low/one.h"\n',
                                         "low/two.h": '#include "low/three.h"\n'})).check()
        self.assertEqual(status, 1)
        self.assertIn("circle of modules, each reaching the others: low/one, low/three, low/two", out)
        status, out = Tree(dict(GOOD, **{"low/deeper/x.cpp": ""})).check()
        self.assertEqual(status, 1)
        self.assertIn("low/deeper/x.cpp: its folder low/deeper has no rule here", out)
        for rules, fault in (("low low\n", "layers.txt:1: not \"LAYER: WHAT IT MAY USE\""),
                             ("low: low\nlow: high\n", "layers.txt:2: low has a rule already")):
            status, out = Tree(GOOD, rules).check()
            self.assertEqual((status, out.count("\n")), (1, 1), out)
            self.assertIn(fault, out)
        tree = Tree(GOOD)
        os.remove(os.path.join(tree.root, "layers.txt"))
        status, out = tree.check()
        self.assertEqual(status, 1)
        self.assertIn("layers.txt: No such file", out)


class IncludeViewTest(unittest.TestCase):
    def test_a_layer_sees_what_its_rule_names(self):
        tree = Tree(GOOD)
        self.assertEqual(tree.view("high"), (0, ["high/top.h", "low/one.h", "low/three.h",
                                                 "low/two.h"]))
        # A single header brings what it includes, and nothing else of its folder.
        self.assertEqual(tree.view("high/special"), (0, ["high/top.h", "low/one.h", "low/two.h"]))
        self.assertEqual(tree.view("side"), (0, []))

    def test_uses_narrows_the_layer_and_may_not_widen_it(self):
        tree = Tree(GOOD)
        self.assertEqual(tree.view("high", ["low/three.h"]), (0, ["low/three.h"]))
        self.assertEqual(tree.view("high", ["low"]), (0, ["low/one.h", "low/three.h", "low/two.h"]))
        status, error = tree.view("low", ["high"])
        self.assertNotEqual(status, 0)
        self.assertIn('example uses high, which its layer may not (layers.txt: "low: low")', error)
        # A folder's header is not a way into its subfolders.
        status, error = Tree(dict(GOOD, **{"low/sub/x.h": ""})).view("high", ["low/sub"])
        self.assertNotEqual(status, 0)
        self.assertIn("example uses low/sub, which its layer may not", error)
        status, error = tree.view("nowhere")
        self.assertNotEqual(status, 0)
        self.assertIn("nowhere is not a layer of", error)


if __name__ == "__main__":
    if "--cmake" in sys.argv:
        at = sys.argv.index("--cmake")
        CMAKE = sys.argv[at + 1]
        del sys.argv[at:at + 2]
    try:
        unittest.main()
    finally:
        SCRATCH.cleanup()
