#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr and packs it with CPack, and checks what a
# desktop relies on: the files of installed_files.txt and nothing else, in the tree and in the
# package, bin/quillet a relative link to the program, the entry and
# metadata passing the distribution's validators, the package's dependencies both computed from
# the binaries and named for what is loaded at run time, and no lintian errors (warnings printed).
# Usage: install_layout.sh BUILD_DIR
set -uo pipefail
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
usr=$root/usr app=com.quilletaudio.Quillet failed=0
bad() { echo "FAIL: $*" >&2; failed=1; }
expected=$(grep -v '^#' "$(dirname "$0")/installed_files.txt")

DESTDIR=$root cmake --install "$1" --prefix /usr >/dev/null || { echo "FAIL: install" >&2; exit 1; }
while read -r kind path; do
    case $kind in
        x) [[ -f $usr/$path && ! -L $usr/$path && -x $usr/$path ]] || bad "$path: not an executable" ;;
        f) [[ -f $usr/$path && ! -L $usr/$path ]] || bad "$path: not a plain file" ;;
        l) [[ -L $usr/$path && $(readlink "$usr/$path") != /* ]] || bad "$path: not a relative link" ;;
    esac
done <<<"$expected"
# Nothing beyond the list: no tests, benchmarks or libraries of the build.
installed=$(cd "$root" && find usr \( -type f -o -type l \) | sort)
diff <(awk '{print "usr/" $2}' <<<"$expected" | sort) <(grep -v '^usr/lib/quillet/styles/' <<<"$installed") ||
    bad "installed files"
[[ $(readlink -f "$usr/bin/quillet") == "$usr/lib/quillet/quillet" ]] || bad "bin/quillet leads elsewhere"
desktop=$usr/share/applications/$app.desktop
for line in Name=Quillet "GenericName=Audio Cutter" Icon=$app "Exec=quillet %f"; do
    grep -qxF "$line" "$desktop" || bad "desktop entry lacks $line"
done
for type in audio/mpeg audio/x-ms-wma audio/wav audio/amr audio/flac; do
    grep -q "^MimeType=\(.*;\)\?$type;" "$desktop" || bad "desktop entry's MimeType lacks $type"
done
desktop-file-validate "$desktop" || bad "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/$app.metainfo.xml" || bad "appstreamcli validate"

cpack --config "$1/CPackConfig.cmake" -G DEB -B "$root/deb" >"$root/log" 2>&1 || { cat "$root/log" >&2; exit 1; }
deb=$(ls "$root"/deb/*.deb) && [[ $(wc -l <<<"$deb") == 1 ]] || { echo "FAIL: no single .deb" >&2; exit 1; }
# The listing's sixth field is the path, then "-> target" for a link.
listing=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print substr($6, 3), $7, $8}')
diff <(echo "$installed") <(awk '{print $1}' <<<"$listing" | sort) || bad "package contents"
grep -qxF 'usr/bin/quillet -> ../lib/quillet/quillet' <<<"$listing" || bad "usr/bin/quillet is not the link"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libc6 libqt6widgets6 libavformat59 libavcodec-extra59 libqt6multimedia6 libqt6svg6; do
    [[ ", $depends," =~ ", $package"[\ ,] ]] || bad "Depends lacks $package"
done
lintian --fail-on error "$deb" || bad "lintian reports errors"
exit $failed
