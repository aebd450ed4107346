#!/usr/bin/env bash
# Puts the sources of pugixml (Debian's source package; Debian ships the
# library for Linux only) under DIR/pugixml for the Windows cross build.
# Debian's archive keys check the download; nothing of the system's apt
# configuration is changed. Does nothing when they are there.
set -euo pipefail
dir=${1:?usage: windows-sources.sh DIR}
[ -f "$dir/pugixml/src/pugixml.cpp" ] && exit 0
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/debian.sources" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
mkdir -p "$work/lists/partial"
apt_opts=(-o "Dir::Etc::SourceList=$work/debian.sources" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
apt-get "${apt_opts[@]}" -qq update
(cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only pugixml)
orig=$(ls "$work"/pugixml_*.orig.tar.* | head -1)
rm -rf "$dir/pugixml"
mkdir -p "$dir/pugixml"
tar -xf "$orig" -C "$dir/pugixml" --strip-components=1
echo "pugixml sources in $dir/pugixml"
