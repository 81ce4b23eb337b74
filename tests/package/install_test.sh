#!/usr/bin/env bash
# `cmake --install` of BUILD: into a temporary prefix every file lands under it (the autostart
# entry too) and the uninstall script removes them all again; with DESTDIR and the /usr
# prefix, as a package is made, the autostart entry goes to etc/xdg; the systemd user unit
# passes `systemd-analyze verify` (when it is installed).
set -euo pipefail
build=${1:?usage: install_test.sh BUILD SOURCE}
source=${2:?usage: install_test.sh BUILD SOURCE}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

# Its own component name, so that the manifest of a real install is left alone.
manifest=$build/install_manifest_Unspecified.txt
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" --component Unspecified >"$work/log" ||
  fail "install failed: $(cat "$work/log")"
for file in bin/halyard-widget libexec/halyard-widget/halyard-widget-window \
  etc/xdg/autostart/halyard-widget.desktop lib/systemd/user/halyard-widget.service \
  share/applications/halyard-widget.desktop share/man/man1/halyard-widget.1.gz \
  share/doc/halyard-widget/copyright; do
  [[ -f $prefix/$file ]] || fail "$file not installed under the prefix"
done
outside=$(grep -v "^$prefix/" "$manifest" || true)
[[ -z $outside ]] || fail "installed outside the prefix: $outside"
diff <(sort "$manifest") <(find "$prefix" -type f | sort) ||
  fail "the manifest and the installed files differ"
grep -qx "ExecStart=$prefix/bin/halyard-widget run --window" \
  "$prefix/lib/systemd/user/halyard-widget.service" || fail "the unit names another program"

if command -v systemd-analyze >/dev/null; then
  # Warnings (unknown keys, say) leave the status 0: any output is a failure too.
  systemd-analyze verify --man=no "$prefix/lib/systemd/user/halyard-widget.service" \
    >"$work/verify" 2>&1 || fail "systemd-analyze verify: $(cat "$work/verify")"
  [[ ! -s $work/verify ]] || fail "systemd-analyze verify: $(cat "$work/verify")"
else
  echo "install_test: systemd-analyze is not installed: the user unit is not verified"
fi

cmake -DMANIFEST="$manifest" -P "$source/cmake/uninstall.cmake" >"$work/log"
left=$(find "$prefix" -type f)
[[ -z $left ]] || fail "left after uninstall: $left"

DESTDIR=$work/stage cmake --install "$build" --prefix /usr --component Unspecified >"$work/log"
[[ -f $work/stage/etc/xdg/autostart/halyard-widget.desktop ]] ||
  fail "with the /usr prefix the autostart entry is not in /etc/xdg/autostart"
[[ ! -e $work/stage/usr/etc ]] || fail "with the /usr prefix something went to /usr/etc"
grep -qx "ExecStart=/usr/bin/halyard-widget run --window" \
  "$work/stage/usr/lib/systemd/user/halyard-widget.service" || fail "the unit names another program"
rm -f "$manifest"
echo "install_test: ok"
