#!/usr/bin/env bash
# Assembles the Windows program folder from a cross build and packs it twice:
#
#   scripts/package-windows.sh BUILD_DIR QT_PREFIX VERSION
#
# BUILD_DIR/Quorvex-VERSION-win64/ is the folder (the programs, skin.jss, the Qt libraries
# and plugins they load, Qt's Chinese translation, the MinGW runtime), zipped as
# BUILD_DIR/Quorvex-VERSION-win64.zip; BUILD_DIR/Quorvex-VERSION-setup.exe installs it per
# user. The libraries are those the programs' import tables name, found in the Qt build and
# in Debian's MinGW-w64 packages, and what those name in turn; nothing else goes in.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
qt="$2"
version="$3"
triplet=x86_64-w64-mingw32
name="Quorvex-$version-win64"
folder="$build/$name"

rm -rf "$folder" "$build/$name.zip"
mkdir -p "$folder"/{platforms,styles,imageformats,tls,translations}

cp "$build/bin/Quorvex.exe" "$build/bin/update.exe" "$build/bin/quorvex-cli.exe" "$build/bin/skin.jss" "$folder/"
cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
for plugin in qgif qico qjpeg; do
  cp "$qt/plugins/imageformats/$plugin.dll" "$folder/imageformats/"
done
cp "$qt/plugins/tls/qschannelbackend.dll" "$folder/tls/"
cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$folder/translations/"

# Every DLL an executable or plugin of the folder imports, and theirs, from these places;
# the system's own (KERNEL32, USER32, ...) are not in them and stay out.
gcc_runtime="$(dirname "$("$triplet-gcc-posix" -print-libgcc-file-name)")"
search=("$qt/bin" "$gcc_runtime" "/usr/$triplet/lib")
imports() { "$triplet-objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
queue=()
while IFS= read -r -d '' file; do queue+=("$file"); done < <(find "$folder" \( -name '*.exe' -o -name '*.dll' \) -print0)
while [ ${#queue[@]} -gt 0 ]; do
  file="${queue[0]}"
  queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    [ -e "$folder/$dll" ] && continue
    for dir in "${search[@]}"; do
      if [ -f "$dir/$dll" ]; then
        cp "$dir/$dll" "$folder/$dll"
        queue+=("$folder/$dll")
        break
      fi
    done
  done
done
# Release builds carry no symbols the users need.
find "$folder" -name '*.dll' -o -name '*.exe' | while read -r file; do "$triplet-strip" --strip-unneeded "$file"; done

(cd "$build" && find "$name" -exec touch -d "@${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)}" {} + && \
  find "$name" -type f | LC_ALL=C sort | zip -q -X -9 "$name.zip" -@)

# The installer: the same folder, and an uninstaller that removes exactly these files.
list="$build/installer-files.nsh"
{
  (cd "$folder" && find . -type f | LC_ALL=C sort) | sed 's|^\./||; s|/|\\|g' | while read -r f; do
    echo "  Delete \"\$INSTDIR\\$f\""
  done
  (cd "$folder" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | sed 's|^\./||; s|/|\\|g' | while read -r d; do
    echo "  RMDir \"\$INSTDIR\\$d\""
  done
} > "$list"
makensis -V2 -INPUTCHARSET UTF8 \
  "-DVERSION=$version" "-DSOURCE=$folder" "-DFILELIST=$list" "-DOUTFILE=$build/Quorvex-$version-setup.exe" \
  "$here/packaging/windows/installer.nsi" >&2
echo "$build/$name.zip"
echo "$build/Quorvex-$version-setup.exe"
