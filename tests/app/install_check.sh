#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop finds there: both
# binaries, the resources, a desktop entry naming the installed binary, an icon of each size
# and the AppStream file; the validators run when they are installed.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for binary in zelvo zelvo-cli; do
    [[ -x $prefix/bin/$binary ]] || fail "no executable bin/$binary"
done
[[ -f $prefix/share/zelvo/ytdlp.sh ]] || fail "no share/zelvo/ytdlp.sh"
[[ $("$prefix/bin/zelvo-cli" --version) =~ ^zelvo-cli\ [0-9]+\.[0-9]+\.[0-9]+\([0-9]+\)$ ]] ||
    fail "zelvo-cli --version: $("$prefix/bin/zelvo-cli" --version)"

entry=$prefix/share/applications/zelvo.desktop
[[ -f $entry ]] || fail "no desktop entry"
exec_line=$(grep '^Exec=' "$entry")
[[ $exec_line == "Exec=$prefix/bin/zelvo %U" ]] || fail "desktop entry runs '$exec_line'"

for size in 16 24 32 48 64 128 256; do
    [[ -f $prefix/share/icons/hicolor/${size}x${size}/apps/zelvo.png ]] || fail "no ${size}px icon"
done

metainfo=("$prefix"/share/metainfo/*.metainfo.xml)
[[ -f ${metainfo[0]} ]] || fail "no AppStream file"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate"
else
    echo "desktop-file-validate is not installed: not run"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli validate"
else
    echo "appstreamcli is not installed: not run"
fi
echo "1 passed, 0 failed"
