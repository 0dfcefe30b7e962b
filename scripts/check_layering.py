#!/usr/bin/env python3
"""Keeps the floors: every #include "..." in src/ must name a header of the
including folder itself or of a folder its row of the include table in
ARCHITECTURE.md allows, and every #include <...> of a third-party library must
come from a folder allowed to use that library.

    scripts/check_layering.py [ROOT]

Prints one line per wrong include (path:line: what) and exits 1 if there is any.
"""
import pathlib
import re
import sys

SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".inl"}
QUOTED_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
ANGLE_INCLUDE = re.compile(r"^\s*#\s*include\s+<([^>]+)>")


def read_table(architecture: pathlib.Path):
    """The rows under the heading "## Include table": folder -> (folders, libraries)."""
    rows = {}
    in_section = False
    for line in architecture.read_text(encoding="utf-8").splitlines():
        if line.startswith("## "):
            in_section = line.strip() == "## Include table"
            continue
        if not in_section or not line.startswith("|"):
            continue
        cells = [cell.strip().strip("`") for cell in line.strip().strip("|").split("|")]
        if len(cells) < 3 or not cells[0].startswith("src/"):
            continue
        folder = cells[0].removeprefix("src/").rstrip("/")
        allowed = {name.strip().strip("`") for name in cells[1].split(",") if name.strip() not in ("", "-")}
        libraries = {name.strip().strip("`") for name in cells[2].split(",") if name.strip() not in ("", "-")}
        rows[folder] = (allowed, libraries)
    return rows


def folder_of(relative: str, folders) -> str | None:
    """The longest folder of the table that holds this path (app/cli before app)."""
    best = None
    for folder in folders:
        if relative == folder or relative.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def library_of(header: str, libraries) -> str | None:
    """The third-party library an angle include belongs to, by its path prefix."""
    for library, prefixes in libraries.items():
        if any(header.startswith(prefix) for prefix in prefixes):
            return library
    return None


# Third-party headers that only some floors may use, by how their paths begin.
GUARDED_LIBRARIES = {
    "SDL2": ("SDL",),
    "FFmpeg": ("libavformat/", "libavcodec/", "libavutil/", "libswscale/", "libswresample/"),
    "Qt": ("Q", "qt"),
    "CLI11": ("CLI/",),
    "FreeType": ("ft2build.h", "freetype/"),
    "OpenSSL": ("openssl/",),
}


def check(root: pathlib.Path) -> list[str]:
    rows = read_table(root / "ARCHITECTURE.md")
    if not rows:
        return ["ARCHITECTURE.md: no include table under '## Include table'"]
    problems = []
    src = root / "src"
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(src).as_posix()
        shown = path.relative_to(root).as_posix()
        folder = folder_of(relative, rows)
        if folder is None:
            problems.append(f"{shown}: its folder has no row in the include table")
            continue
        allowed, libraries = rows[folder]
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), start=1):
            quoted = QUOTED_INCLUDE.match(line)
            if quoted:
                target = folder_of(quoted.group(1), rows)
                if target is None:
                    problems.append(f"{shown}:{number}: includes \"{quoted.group(1)}\", which is in no folder of the table")
                elif target != folder and target not in allowed:
                    problems.append(f"{shown}:{number}: {folder} may not include {target} (\"{quoted.group(1)}\")")
                continue
            angle = ANGLE_INCLUDE.match(line)
            if angle:
                library = library_of(angle.group(1), GUARDED_LIBRARIES)
                if library is not None and library not in libraries:
                    problems.append(f"{shown}:{number}: {folder} may not use {library} (<{angle.group(1)}>)")
    return problems


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    problems = check(root)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
