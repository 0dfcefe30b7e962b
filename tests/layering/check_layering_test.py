#!/usr/bin/env python3
"""The layering check against copies of the tree with wrong includes planted."""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
SCRIPT = ROOT / "scripts" / "check_layering.py"


class LayeringCheck(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.tree = pathlib.Path(self.temp.name)
        shutil.copytree(ROOT / "src", self.tree / "src")
        shutil.copy(ROOT / "ARCHITECTURE.md", self.tree / "ARCHITECTURE.md")

    def tearDown(self):
        self.temp.cleanup()

    def run_check(self):
        return subprocess.run([sys.executable, str(SCRIPT), str(self.tree)], capture_output=True, text=True)

    def plant(self, relative, line):
        """Inserts line after the first include of the file; returns its line number."""
        path = self.tree / relative
        lines = path.read_text().splitlines()
        at = next(i for i, text in enumerate(lines) if text.startswith("#include")) + 1
        lines.insert(at, line)
        path.write_text("\n".join(lines) + "\n")
        return at + 1

    def test_the_tree_as_it_stands_keeps_its_floors(self):
        result = self.run_check()
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_an_include_from_a_higher_floor_is_named_with_file_and_line(self):
        line = self.plant("src/codec/quantiser.cpp", '#include "engine/player_engine.h"')
        result = self.run_check()
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"src/codec/quantiser.cpp:{line}: codec may not include engine", result.stderr)

    def test_an_include_from_beside_needs_an_entry_in_the_table(self):
        self.plant("src/codec/quantiser.cpp", '#include "source/stream_source.h"')
        self.assertIn("codec may not include source", self.run_check().stderr)
        architecture = self.tree / "ARCHITECTURE.md"
        architecture.write_text(architecture.read_text().replace(
            "| `src/codec` | base, platform, startcode | - |", "| `src/codec` | base, platform, startcode, source | - |"))
        result = self.run_check()
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_a_library_outside_its_floors_is_refused(self):
        line = self.plant("src/source/stream_source.cpp", "#include <SDL.h>")
        result = self.run_check()
        self.assertEqual(result.returncode, 1)
        self.assertIn(f"src/source/stream_source.cpp:{line}: source may not use SDL2", result.stderr)
        for header in ("ft2build.h", "freetype/freetype.h"):
            self.plant("src/codec/quantiser.cpp", f"#include <{header}>")
            self.assertIn(f"codec may not use FreeType (<{header}>)", self.run_check().stderr)
        self.plant("src/engine/evidence_check.cpp", "#include <openssl/evp.h>")
        self.assertIn("engine may not use OpenSSL (<openssl/evp.h>)", self.run_check().stderr)

    def test_a_folder_missing_from_the_table_is_reported(self):
        (self.tree / "src" / "gadgets").mkdir()
        (self.tree / "src" / "gadgets" / "gadget.h").write_text("#pragma once\n")
        self.assertIn("src/gadgets/gadget.h: its folder has no row", self.run_check().stderr)


if __name__ == "__main__":
    unittest.main()
