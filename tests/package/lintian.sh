#!/bin/sh
# Makes the Debian package as cpack does and has lintian check it: any error
# or warning fails. Skipped (77) where lintian is not installed.
# Usage: lintian.sh BUILD_DIR VERSION
set -u
build=$1
version=$2
if ! command -v lintian >/dev/null 2>&1; then
    echo "lintian is not installed"
    exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
deb=$(ls "$out"/*.deb)
failures=0

# The changelog's newest entry is the package's version.
dpkg-deb -x "$deb" "$out/tree"
changelog=$out/tree/usr/share/doc/velorinder/changelog.gz
first=$(zcat "$changelog" 2>/dev/null | head -n 1)
case $first in
"velorinder ($version) "*) ;;
*)
    echo "FAIL: the changelog begins \"$first\", not version $version"
    failures=$((failures + 1))
    ;;
esac

# Errors and warnings fail; running as root only adds a remark of lintian's own.
lintian --fail-on error,warning "$deb" >"$out/lintian.log" 2>&1
status=$?
grep -v '^running with root privileges' "$out/lintian.log"
if [ "$status" -ne 0 ]; then
    echo "FAIL: lintian exited with $status"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "lintian OK"
exit "$failures"
