#!/bin/sh
# Installs the build into a temporary prefix and checks what a desktop, man and
# the program will look for there.
# Usage: installed_tree.sh BUILD_DIR APP_ID
set -u
build=$1
id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"
    rm -f "$prefix.log"
    echo "FAIL: cmake --install"
    exit 1
fi
rm -f "$prefix.log"
share=$prefix/share

# The validators print hints and warnings with a zero status too: any output fails.
desktop=$share/applications/$id.desktop
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $out"
out=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) || fail "appstreamcli validate-tree: $out"

# The entry starts an installed program and shows an installed icon.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$prefix/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x$size/apps/$icon.png
    if [ ! -f "$png" ]; then
        fail "no ${size}x$size icon"
    elif [ "$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')" != \
           "$(printf '%08x%08x' "$size" "$size")" ]; then
        fail "$png is not ${size}x$size"
    fi
done

# Every resource of the program directory, unchanged.
bin=$build/bin
for f in "$bin"/VELORPNL.UIR "$bin"/velorind.xl "$bin"/Velorinder??.hhh "$bin"/toolbar/*; do
    rel=${f#"$bin"/}
    cmp -s "$f" "$share/velorinder/$rel" || fail "share/velorinder/$rel missing or different"
done

# A man page for each installed program, which man reads without complaint.
for program in "$prefix"/bin/*; do
    name=$(basename "$program")
    page=$share/man/man1/$name.1.gz
    if [ ! -f "$page" ]; then
        fail "no man page for $name"
        continue
    fi
    out=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man $name: $out"
done

[ "$failures" -eq 0 ] && echo "installed tree OK"
exit "$failures"
