#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs of it: the programs
# (linked into bin, with the files they read beside them), the application icon, and a desktop
# entry that desktop-file-validate accepts and whose icon and program are the installed ones.
set -euo pipefail
build=$1
libdir=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "install_test: $*" >&2; exit 1; }
entry=$prefix/share/applications/orvane.desktop
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon '$icon' in the hicolor theme"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" || fail "the icon is no SVG picture"
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "$prefix/bin/$program" ] || fail "Exec=$program is not an installed program"
for p in ov98 ov_rpts ov_impex tessel ovftp qmtback qmtbacka ov_pop; do
  [ -x "$prefix/bin/$p" ] || fail "$p is not installed in bin"
done
# The link leads to the program's own folder, where its companions and files lie.
real=$(readlink -f "$prefix/bin/ov98")
[ "$real" = "$(readlink -f "$prefix/$libdir/orvane/ov98")" ] || fail "bin/ov98 leads to $real"
for h in httpget killproc executeas tpsfix; do
  [ -x "$(dirname "$real")/$h" ] || fail "$h is not beside the programs"
done
[ -f "$(dirname "$real")/KEYCODES.TXT" ] || fail "KEYCODES.TXT is not beside the programs"
[ -f "$prefix/share/doc/orvane/help/index.html" ] || fail "the user manual is not installed in share/doc/orvane/help"
echo "install_test: $(find "$prefix" -type f -o -type l | wc -l) files and links installed"
