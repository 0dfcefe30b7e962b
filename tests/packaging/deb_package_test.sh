#!/bin/sh
# Builds the Debian package from the programs as built, into a scratch
# folder, and checks what it holds, what it depends on, that its programs
# run and tell its version, and that software centres accept its metadata.
# Usage: deb_package_test.sh CPACK BUILD_DIR SCRATCH_DIR VERSION
set -eu
cpack=$1
build=$2
work=$3
version=$4

for tool in dpkg-deb dpkg-shlibdeps appstreamcli; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "FAIL: $tool is not installed (scripts/bootstrap.sh installs it)"
    exit 1
  fi
done

rm -rf "$work"
mkdir -p "$work"
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack could not build the package"
  exit 1
fi
architecture=$(dpkg --print-architecture)
deb=$work/marlin-viewer_${version}_$architecture.deb
if [ ! -f "$deb" ]; then
  ls "$work"
  echo "FAIL: no $(basename "$deb")"
  exit 1
fi

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

id=org.marlinviewer.MarlinViewer
dpkg-deb -c "$deb" | awk '{ print $NF }' >"$work/contents"
for path in usr/bin/marlin usr/bin/marlin-viewer \
  usr/share/applications/marlin-viewer.desktop \
  usr/share/mime/packages/marlin-viewer.xml \
  usr/share/icons/hicolor/scalable/apps/marlin-viewer.svg \
  usr/share/man/man1/marlin.1 usr/share/man/man1/marlin-viewer.1 \
  usr/share/bash-completion/completions/marlin \
  "usr/share/metainfo/$id.metainfo.xml"; do
  grep -qx "\./$path" "$work/contents" || fail "the package has no /$path"
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = marlin-viewer ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$architecture" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = video ] || fail "Section is '$(field Section)'"
field Maintainer | grep -q '^[^<]* <[^@>]*@[^>]*>$' || fail "Maintainer is '$(field Maintainer)'"
[ "$(field Description | wc -l)" -gt 1 ] || fail "Description has no long text: '$(field Description)'"

# As regular expressions. The linked libraries come from dpkg-shlibdeps;
# FFmpeg and SDL, loaded on first use, are named by the build.
depends=$(field Depends)
for library in libc6 'libstdc\+\+6' libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 \
  'libavcodec[0-9]+' 'libavformat[0-9]+' 'libavutil[0-9]+' 'libswscale[0-9]+' libsdl2-2.0-0; do
  echo "$depends" | grep -Eq "(^|, )$library( |,|\$)" || fail "Depends lacks $library: $depends"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/marlin" --version)" = "marlin $version" ] || fail "the packaged marlin does not tell $version"
"$root/usr/bin/marlin-viewer" --version | grep -q "^marlin-viewer $version " ||
  fail "the packaged marlin-viewer does not tell $version"

metainfo=$root/usr/share/metainfo/$id.metainfo.xml
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
# The tree as installed: the menu entry the metainfo launches, the file's name.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"

exit "$failed"
