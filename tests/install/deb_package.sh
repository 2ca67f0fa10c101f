#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: the files of installed_files.txt under /usr
# and nothing else, the dependencies both computed from the binaries and named for what is
# loaded at run time, and no lintian errors (its warnings are printed).
# Usage: deb_package.sh BUILD_DIR
set -uo pipefail
build=$1
here=$(dirname "$0")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
bad() { echo "FAIL: $*" >&2; failed=1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
debs=("$out"/*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || { echo "FAIL: no single .deb in $out" >&2; exit 1; }
deb=${debs[0]}

# The listing's last fields are the path and, for a link, "-> target".
contents=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print substr($6, 3)}' | sort)
expected=$(grep -v '^#' "$here/installed_files.txt" | awk 'NF {print "usr/" $2}' | sort)
missing=$(comm -13 <(echo "$contents") <(echo "$expected"))
extra=$(comm -23 <(echo "$contents") <(echo "$expected") | grep -v '^usr/lib/quillet/styles/')
[[ -z $missing ]] || bad "missing from the package: $missing"
[[ -z $extra ]] || bad "in the package but not expected: $extra"
listing=$(dpkg-deb --contents "$deb")
grep -q ' ./usr/bin/quillet -> ../lib/quillet/quillet$' <<<"$listing" ||
    bad "usr/bin/quillet is not the link into the program folder"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libc6 libqt6widgets6 libavformat59 libavcodec-extra59 libqt6multimedia6 libqt6svg6; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] ||
        bad "Depends lacks $package"
done

lintian --fail-on error "$deb" || bad "lintian reports errors"
exit $failed
