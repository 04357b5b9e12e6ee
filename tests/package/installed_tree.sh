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

# Each kind of file the program opens is known by its type, once the database
# is built as the package's trigger builds it.
update-mime-database "$share/mime" >/dev/null 2>&1 || fail "update-mime-database"
samples=$(mktemp -d)
printf 'RUN-UP.VLR\n00/00/0000 00:00\n1\n1\n0\n1.000000\n0\n0\n\n0.000000 \n1.000000 ' >"$samples/run-up.vlr"
printf 'recording_1.mon\n12/08/2026 14:05\n0001 0 1 001.00 00001 1.50E+2;\n' >"$samples/recording_1.mon"
printf '{\n  "format": "velorinder-session",\n  "version": 1,\n  "current": -1,\n  "windows": []\n}\n' >"$samples/bench"
cp "$samples/bench" "$samples/bench.vls"
for pair in run-up.vlr:recording recording_1.mon:transfer bench.vls:session bench:session; do
    file=${pair%%:*}
    want=application/x-velorinder-${pair#*:}
    got=$(XDG_DATA_HOME="$share" XDG_DATA_DIRS="$share" xdg-mime query filetype "$samples/$file" 2>&1)
    [ "$got" = "$want" ] || fail "xdg-mime query filetype $file: $got, not $want"
done
rm -rf "$samples"
grep -q '^Exec=velorinder %F$' "$desktop" || fail "the desktop entry does not pass the files it is given"

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
