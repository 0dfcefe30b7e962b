#!/bin/sh
# Installs the build into a scratch prefix and checks that a desktop finds
# the programs, the menu entry, the recordings' file type and the icon there.
# Usage: install_test.sh CMAKE BUILD_DIR PREFIX
set -eu
cmake=$1
build=$2
prefix=$3

rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

for program in marlin marlin-viewer; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not an installed program"
done

entry="$prefix/share/applications/marlin-viewer.desktop"
types="$prefix/share/mime/packages/marlin-viewer.xml"
icon="$prefix/share/icons/hicolor/scalable/apps/marlin-viewer.svg"
for file in "$entry" "$types" "$icon"; do
  [ -f "$file" ] || fail "missing ${file#"$prefix"/}"
done
[ "$failed" = 0 ] || exit 1

# The menu entry names the icon and the file type by name only: both names
# have to match what is installed beside it.
grep -qx "Icon=$(basename "$icon" .svg)" "$entry" || fail "Icon= does not name the installed icon"
grep -qx "Exec=marlin-viewer %f" "$entry" || fail "Exec= does not start the installed program"
type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$types")
grep -qx "MimeType=$type;" "$entry" || fail "MimeType= does not name the type '$type'"

if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
else
  echo "SKIP: desktop-file-validate is not installed"
fi

# The MIME database built from the package must match both spellings of the
# extension, each in its own case only.
if command -v update-mime-database >/dev/null 2>&1; then
  # It always notes that the scratch prefix is off the search path.
  if ! out=$(update-mime-database "$prefix/share/mime" 2>&1); then
    echo "$out"
    fail "update-mime-database rejects the file type"
  fi
  for pattern in '*.QKV' '*.qkv'; do
    grep -qxF "50:$type:$pattern:cs" "$prefix/share/mime/globs2" ||
      fail "the MIME database has no case-sensitive $pattern for $type"
  done
else
  echo "SKIP: update-mime-database is not installed"
fi

exit "$failed"
