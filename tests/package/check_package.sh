#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what a user gets:
# the three programs, the desktop file, icon, metainfo, manual pages and demo
# catalogues in their places, dependencies computed from the binaries, and
# no error from desktop-file-validate, appstreamcli or lintian.
set -euo pipefail
build=$1
source=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/quorvel_*_amd64.deb)
version=$(dpkg-deb -f "$deb" Version)
[[ "$(basename "$deb")" == "quorvel_${version}_amd64.deb" ]] || { echo "odd name: $deb"; exit 1; }
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/Quorvel ./usr/bin/quorvel-cli ./usr/bin/quorvel-card \
         ./usr/share/applications/org.quorvel.Quorvel.desktop \
         ./usr/share/icons/hicolor/scalable/apps/quorvel.svg \
         ./usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml \
         ./usr/share/man/man1/Quorvel.1.gz ./usr/share/man/man1/quorvel-cli.1.gz \
         ./usr/share/man/man1/quorvel-card.1.gz \
         ./usr/share/doc/quorvel/copyright ./usr/share/doc/quorvel/changelog.gz \
         ./usr/share/quorvel/demo/Ninshiki.xml ./usr/share/quorvel/demo/Program.xml \
         ./usr/share/quorvel/demo/programs/walk.TXA; do
  grep -qx "$f" <<<"$contents" || { echo "missing from the package: $f"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libpocketsphinx3 libcurl libpugixml; do
  grep -q "$lib" <<<"$depends" || { echo "dependency on $lib not computed: $depends"; exit 1; }
done
dpkg-deb -x "$deb" "$out/root"
desktop-file-validate "$out/root/usr/share/applications/org.quorvel.Quorvel.desktop"
appstreamcli validate --no-net --pedantic "$out/root/usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml" >"$out/as.log" 2>&1 ||
  { cat "$out/as.log"; exit 1; }
grep -q 'xml:lang="ja"' "$out/root/usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml"
lintian --tag-display-limit 0 "$deb" >"$out/lintian.log" 2>&1 || true
if grep -q '^E:' "$out/lintian.log"; then cat "$out/lintian.log"; exit 1; fi
echo "package $(basename "$deb") holds what it should"
