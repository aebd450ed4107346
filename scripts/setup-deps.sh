#!/usr/bin/env bash
# Installs the Debian packages Quorvel needs to build and test, when missing.
# Idempotent: runs apt-get update at most once (once ever for an optional package
# the archive may lack), and only when something is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libcurl4-openssl-dev
  qt6-base-dev qt6-translations-l10n fonts-ipafont-gothic
  libpugixml-dev
  libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us
  libpulse-dev libespeak-ng-dev libspeexdsp-dev
  espeak-ng sox pulseaudio pulseaudio-utils
  open-jtalk open-jtalk-mecab-naist-jdic flite
  clang-14 libclang-rt-14-dev
  dpkg-dev file lintian desktop-file-utils appstream
  g++-mingw-w64-x86-64 wine wine64 googletest xvfb xauth
)
# Wanted where the archive has them: Open JTalk's voice is not in every
# mirror's components; the speech bench leaves out its conditions without it.
optional=(hts-voice-nitech-jp-atr503-m001)
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
optional_missing=()
for p in "${optional[@]}"; do installed "$p" || optional_missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#optional_missing[@]} -eq 0 ] && exit 0
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
stamp=/var/tmp/quorvel-apt-updated
if [ ${#missing[@]} -gt 0 ] || [ ! -e "$stamp" ]; then
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" touch "$stamp" 2>/dev/null || true
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
for p in "${optional_missing[@]}"; do
  if apt-cache policy "$p" 2>/dev/null | grep -q 'Candidate: [^(]'; then
    echo "installing: $p"
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$p"
  fi
done
