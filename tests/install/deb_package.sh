#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: the files of installed_files.txt under /usr
# and nothing else, the dependencies both computed from the binaries and named for what is loaded
# at run time, and no lintian errors (its warnings are printed).
# Usage: deb_package.sh BUILD_DIR
set -uo pipefail
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
bad() { echo "FAIL: $*" >&2; failed=1; }

cpack --config "$1/CPackConfig.cmake" -G DEB -B "$out" >"$out/log" 2>&1 || { cat "$out/log" >&2; exit 1; }
deb=$(ls "$out"/*.deb) && [[ $(wc -l <<<"$deb") == 1 ]] || { echo "FAIL: no single .deb" >&2; exit 1; }
# The listing's sixth field is the path, then "-> target" for a link.
listing=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print substr($6, 3), $7, $8}')
diff <(grep -v '^#' "$(dirname "$0")/installed_files.txt" | awk '{print "usr/" $2}' | sort) \
    <(awk '{print $1}' <<<"$listing" | grep -v '^usr/lib/quillet/styles/' | sort) || bad "package contents"
grep -qxF 'usr/bin/quillet -> ../lib/quillet/quillet' <<<"$listing" || bad "usr/bin/quillet is not the link"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libc6 libqt6widgets6 libavformat59 libavcodec-extra59 libqt6multimedia6 libqt6svg6; do
    [[ ", $depends," =~ ", $package"[\ ,] ]] || bad "Depends lacks $package"
done
lintian --fail-on error "$deb" || bad "lintian reports errors"
exit $failed
