#!/usr/bin/env bash
# install_layout.sh BUILD_DIR: installs the build under /usr in a temporary DESTDIR and packs it
# with CPack; checks exactly the files of installed_files.txt in both, the distribution's validators
# on the entry and metadata, the package's dependencies (computed, and named for what is loaded at
# run time) and lintian.
set -uo pipefail
root=$(mktemp -d) && trap 'rm -rf "$root"' EXIT
usr=$root/usr app=com.quilletaudio.Quillet failed=0
bad() { echo "FAIL: $*" >&2; failed=1; }
die() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$root cmake --install "$1" --prefix /usr >/dev/null || die install
# Nothing beyond the list: no tests, benchmarks or libraries of the build.
installed=$(cd "$usr" && find . -type l -printf 'l %P\n' -o -type f -perm -u=x -printf 'x %P\n' \
    -o -type f -printf 'f %P\n' | sort)
diff <(grep -v '^#' "$(dirname "$0")/installed_files.txt" | sort) \
    <(grep -v ' lib/quillet/styles/' <<<"$installed") || bad "installed files"
desktop=$usr/share/applications/$app.desktop
for line in Name=Quillet "GenericName=Audio Cutter" "Icon=$app" "Exec=quillet %f" \
    "MimeType=\(.*;\)\?audio/"{mpeg,x-ms-wma,wav,amr,flac}";.*"; do
    grep -qx "$line" "$desktop" || bad "desktop entry lacks $line"
done
desktop-file-validate "$desktop" || bad "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/$app.metainfo.xml" || bad appstreamcli

cpack --config "$1/CPackConfig.cmake" -G DEB -B "$root/deb" &>"$root/log" || die "$(<"$root/log")"
deb=$(ls "$root"/deb/*.deb) && [[ $(wc -l <<<"$deb") == 1 ]] || die "no single .deb"
# The listing's first field is the mode, the sixth ./usr/ and the path, then "-> target" for a link.
listing=$(dpkg-deb --contents "$deb" |
    awk '!/^d/ {k = /^l/ ? "l" : /^...x/ ? "x" : "f"; print k, substr($6, 7), $7, $8}')
diff <(echo "$installed") <(cut -d' ' -f1,2 <<<"$listing" | sort) || bad "package contents"
grep -qxF 'l bin/quillet -> ../lib/quillet/quillet' <<<"$listing" || bad "bin/quillet: no link"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libc6 libqt6widgets6 libavformat59 libavcodec-extra59 libqt6multimedia6 libqt6svg6; do
    [[ ", $depends," =~ ", $p"[\ ,] ]] || bad "Depends lacks $p: $depends"
done
lintian --fail-on error "$deb" || bad "lintian reports errors"
exit $failed
