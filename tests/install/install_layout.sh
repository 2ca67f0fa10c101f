#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr and checks what a desktop relies on: the
# files of installed_files.txt and nothing else, bin/quillet a relative link to the program, the
# icons at their sizes, and the entry and metadata passing the distribution's validators.
# Usage: install_layout.sh BUILD_DIR
set -uo pipefail
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
usr=$root/usr app=com.quilletaudio.Quillet failed=0
bad() { echo "FAIL: $*" >&2; failed=1; }

DESTDIR=$root cmake --install "$1" --prefix /usr >/dev/null || { echo "FAIL: install" >&2; exit 1; }
while read -r kind path; do
    case $kind in
        x) [[ -f $usr/$path && ! -L $usr/$path && -x $usr/$path ]] || bad "$path: not an executable" ;;
        f) [[ -f $usr/$path && ! -L $usr/$path ]] || bad "$path: not a plain file" ;;
        l) [[ -L $usr/$path && $(readlink "$usr/$path") != /* ]] || bad "$path: not a relative link" ;;
    esac
done < <(grep -v '^#' "$(dirname "$0")/installed_files.txt")
# Nothing beyond the list: no tests, benchmarks or libraries of the build.
extra=$(comm -13 <(grep -v '^#' "$(dirname "$0")/installed_files.txt" | awk '{print $2}' | sort) \
    <(cd "$usr" && find . \( -type f -o -type l \) -printf '%P\n' | grep -v '^lib/quillet/styles/' | sort))
[[ -z $extra ]] || bad "installed but not expected: $extra"
[[ $(readlink -f "$usr/bin/quillet") == "$usr/lib/quillet/quillet" ]] || bad "bin/quillet leads elsewhere"

for size in 48 128; do
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$usr/share/icons/hicolor/${size}x$size/apps/$app.png")
    [[ ${w:-} == "$size" && ${h:-} == "$size" ]] || bad "the ${size}px icon is ${w:-?}x${h:-?}"
done
desktop=$usr/share/applications/$app.desktop
for line in Name=Quillet "GenericName=Audio Cutter" Icon=$app "Exec=quillet %f"; do
    grep -qxF "$line" "$desktop" || bad "desktop entry lacks $line"
done
for type in audio/mpeg audio/x-ms-wma audio/wav audio/amr audio/flac; do
    grep -q "^MimeType=\(.*;\)\?$type;" "$desktop" || bad "desktop entry's MimeType lacks $type"
done
desktop-file-validate "$desktop" || bad "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/$app.metainfo.xml" || bad "appstreamcli validate"
exit $failed
