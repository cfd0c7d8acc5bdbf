#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (quick when they are present),
# then configures and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
PKGS=(
  cmake g++ binutils ninja-build pkg-config ccache                 # build
  libgtest-dev libgmock-dev googletest libbenchmark-dev sqlite3 # tests, benchmarks (sqlite3: the import benchmark's comparison)
  qt6-base-dev qt6-svg-dev fonts-dejavu-core fonts-liberation2 # windows (qt6-svg: the icons)
  desktop-file-utils                                           # the desktop entry's check
  libsqlcipher-dev libssl-dev                                  # tables
  libcurl4-openssl-dev                                         # mail, FTP, HTTP
  libzip-dev zip unzip 7zip                                    # zip and its oracles
  libx11-dev libxtst-dev xvfb xauth x11-utils openbox xdotool  # X11
  trayer xclip                                                 # end-to-end tests: tray host, clipboard
  libxkbcommon-dev x11-xkb-utils                               # X11 key symbols, layouts in tests
  libasound2-dev                                               # sound
  cups-client                                                  # printing through lp
  python3-pyftpdlib python3-aiosmtpd dovecot-pop3d poppler-utils python3-dateutil python3-dbusmock
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
# gold, not mold: mold 1.10 lays out thread-local data so that some test programs fail to start
# ("cannot apply additional memory protection after relocation").
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
  -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=gold >/dev/null
cmake --build build -j"$(nproc)"
