#!/usr/bin/env bash
# The installer under wine, in a fresh prefix, as a user would meet it (silent mode):
# it installs per user, the installed programs start (Quorvex.exe on a virtual display,
# quorvex-cli.exe answers), and the uninstaller removes the program but leaves the user's
# lists and import files in its folder.
#
#   scripts/windows-installer-check.sh WINDOWS_BUILD
set -euo pipefail
windows_build="$(cd "$1" && pwd)"
setup="$(ls "$windows_build"/Quorvex-*-setup.exe | head -n 1)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quorvex-setup.XXXXXX")"
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEARCH=win64
unset WINEPATH
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "installer check: $*" >&2; exit 1; }

WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="" wineboot --init >/dev/null 2>&1
wineserver --wait || true
user_dir="$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)"
installed="$user_dir/AppData/Local/Programs/Quorvex"

wine "$setup" /S
wineserver --wait || true
[ -f "$installed/Quorvex.exe" ] || fail "Quorvex.exe is not in $installed"
[ -f "$installed/uninstall.exe" ] || fail "no uninstaller"
find "$user_dir" -path '*Start Menu*' -name 'Quorvex.lnk' | grep -q . || fail "no Start-menu entry"
echo "installed into $(find "$installed" -type f | wc -l) files under ${installed#"$WINEPREFIX/drive_c/"}"

status=0
wine "$installed/quorvex-cli.exe" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "the installed quorvex-cli.exe without arguments ended with $status, not 2"

# The window: started on a virtual display, still running after a while.
display=":$((RANDOM % 400 + 300))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY="$display" wine "$installed/Quorvex.exe" >/dev/null 2>&1 &
window_pid=$!
sleep 15
kill -0 "$window_pid" 2>/dev/null || fail "the installed Quorvex.exe ended by itself"
echo "the installed Quorvex.exe runs"
wineserver -k 2>/dev/null || true
wait "$window_pid" 2>/dev/null || true

# The user's work in the program folder stays.
echo "网址" > "$installed/list.txt"
echo "title" > "$installed/202612101341.csv"
mkdir -p "$installed/202612101341"
echo "picture" > "$installed/202612101341/a.tbi"
wine "$installed/uninstall.exe" /S
sleep 2
wineserver --wait || true
[ ! -e "$installed/Quorvex.exe" ] || fail "Quorvex.exe is still there after uninstalling"
[ ! -e "$installed/Qt6Core.dll" ] || fail "the Qt libraries are still there after uninstalling"
for kept in list.txt 202612101341.csv 202612101341/a.tbi; do
  [ -f "$installed/$kept" ] || fail "uninstalling removed the user's $kept"
done
find "$user_dir" -path '*Start Menu*' -name 'Quorvex.lnk' | grep -q . && fail "the Start-menu entry stays"
echo "uninstalled; the user's files stay: $(cd "$installed" && find . -type f | sort | tr '\n' ' ')"
