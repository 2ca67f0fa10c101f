#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr and checks the tree a desktop relies on:
# each file of installed_files.txt in place and nothing else, bin/quillet leading into the
# program folder, the icons at their sizes, the desktop entry's keys, and the entry and the
# metadata passing the distribution's own validators.
# Usage: install_layout.sh BUILD_DIR
set -uo pipefail
build=$1
here=$(dirname "$0")
app=com.quilletaudio.Quillet
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
bad() { echo "FAIL: $*" >&2; failed=1; }

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null || { echo "FAIL: install" >&2; exit 1; }
usr=$root/usr

expected=()
while read -r kind path; do
    [[ -z $kind || $kind == \#* ]] && continue
    expected+=("$path")
    case $kind in
        x) [[ -f $usr/$path && ! -L $usr/$path && -x $usr/$path ]] || bad "$path: not an executable file" ;;
        f) [[ -f $usr/$path && ! -L $usr/$path ]] || bad "$path: not a plain file" ;;
        l) [[ -L $usr/$path ]] || bad "$path: not a link" ;;
    esac
done <"$here/installed_files.txt"

# Nothing beyond the list: no tests, benchmarks or libraries of the build (styles/ goes along
# only when the build folder has one).
while read -r path; do
    [[ $path == lib/quillet/styles/* ]] && continue
    printf '%s\n' "${expected[@]}" | grep -qxF "$path" || bad "$path: installed but not expected"
done < <(cd "$usr" && find . \( -type f -o -type l \) -printf '%P\n' | sort)

[[ $(readlink -f "$usr/bin/quillet") == "$(readlink -f "$usr/lib/quillet/quillet")" ]] ||
    bad "bin/quillet leads to $(readlink -f "$usr/bin/quillet")"
[[ $(readlink "$usr/bin/quillet") != /* ]] || bad "bin/quillet is an absolute link"

for size in 48 128; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$app.png
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png" 2>/dev/null)
    [[ ${w:-} == "$size" && ${h:-} == "$size" ]] || bad "$png is ${w:-?}x${h:-?}, not ${size}x${size}"
done

desktop=$usr/share/applications/$app.desktop
while IFS='=' read -r key value; do
    [[ -z $key || $key == \#* ]] && continue
    grep -qxF "$key=$value" "$desktop" || bad "desktop entry lacks $key=$value"
done <<KEYS
Type=Application
Name=Quillet
GenericName=Audio Cutter
Icon=$app
Exec=quillet %f
Categories=AudioVideo;Audio;AudioVideoEditing;
KEYS
mime=$(sed -n 's/^MimeType=//p' "$desktop")
for type in audio/mpeg audio/x-ms-wma audio/wav audio/amr audio/flac; do
    [[ ";$mime" == *";$type;"* ]] || bad "desktop entry's MimeType lacks $type"
done
grep -q '^Comment=.' "$desktop" || bad "desktop entry has no Comment"

metainfo=$usr/share/metainfo/$app.metainfo.xml
for needle in "<id>$app</id>" "<launchable type=\"desktop-id\">$app.desktop</launchable>" \
    '<description>' '<screenshot type="default">' '<release version="'; do
    grep -qF "$needle" "$metainfo" || bad "metadata lacks $needle"
done

desktop-file-validate "$desktop" || bad "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || bad "appstreamcli validate"
exit $failed
