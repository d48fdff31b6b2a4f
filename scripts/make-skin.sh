#!/usr/bin/env bash
# Packs a skin folder (KEY.png / KEY.bmp pictures and values.ini) into a skin file with Qt's
# resource compiler: the files go to the root of a Qt binary resource file.
#   bash scripts/make-skin.sh FOLDER OUTPUT.jss
# RCC=/path/to/rcc picks the resource compiler; otherwise Qt 6's is looked for.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: make-skin.sh FOLDER OUTPUT.jss" >&2
  exit 2
fi
folder=$(cd "$1" && pwd)
output=$2

rcc=${RCC:-}
if [ -z "$rcc" ]; then
  for candidate in "$(qtpaths6 --query QT_HOST_LIBEXECS 2>/dev/null)/rcc" /usr/lib/qt6/libexec/rcc \
                   "$(command -v rcc || true)"; do
    if [ -x "$candidate" ]; then
      rcc=$candidate
      break
    fi
  done
fi
[ -n "$rcc" ] || { echo "make-skin: Qt's rcc not found; set RCC=/path/to/rcc" >&2; exit 1; }

qrc=$(mktemp --suffix=.qrc)
trap 'rm -f "$qrc"' EXIT
count=0
{
  echo '<RCC><qresource prefix="/">'
  for file in "$folder"/*; do
    name=$(basename "$file")
    case "${name,,}" in
      *.png|*.bmp|values.ini)
        echo "  <file alias=\"$name\">$file</file>"
        count=$((count + 1))
        ;;
    esac
  done
  echo '</qresource></RCC>'
} >"$qrc"
[ "$count" -gt 0 ] || { echo "make-skin: no pictures or values.ini in $folder" >&2; exit 1; }
"$rcc" --binary "$qrc" -o "$output"
echo "make-skin: $count files from $folder packed into $output"
