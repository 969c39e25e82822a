#!/usr/bin/env bash
# The Windows zip as a user gets it: exactly the program, the web view DLL,
# the page, the read-me and the licences in one folder; a program that
# imports nothing but Windows' own DLLs; and, unpacked where the path has
# spaces and letters beyond ASCII, a program that starts under Wine and says
# what is missing (in its box and on standard error) and ends with 1.
#   tests/package/windows_zip_test.sh BUILD_WIN_DIR WINE_RUN PROBE_EXE
set -euo pipefail
build=$(realpath "$1")
wine_run=$2
probe=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "windows zip test: FAILED: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
zip=$(ls "$work"/varnet-*-win64.zip)
top=$(basename "$zip" .zip)

contents=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
expected="$top/LICENSE.txt $top/README.txt $top/libwebview.dll $top/ui/index.html $top/varnet.exe "
[ "$contents" = "$expected" ] || fail "the zip holds: $contents"
unzip -p "$zip" "$top/LICENSE.txt" | grep -q "webview authors" || fail "LICENSE.txt lacks the web view's"

# Only DLLs that every Windows 10 and 11 has; no MinGW runtime.
system_dlls=' kernel32.dll user32.dll gdi32.dll comdlg32.dll advapi32.dll ole32.dll winmm.dll
  shell32.dll msvcrt.dll api-ms-win-core-synch-l1-2-0.dll wtsapi32.dll
  oleaut32.dll '
unzip -q "$zip" -d "$work/x"
imports=$(x86_64-w64-mingw32-objdump -p "$work/x/$top/varnet.exe" | sed -n 's/^\s*DLL Name: //p' |
  tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "objdump found no imports"
for dll in $imports; do
  case "$system_dlls" in *" $dll"[[:space:]]*) ;; *) fail "varnet.exe imports $dll" ;; esac
done

folder="$work/Programme für Tests/Värnet Ünpacked"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
program="Z:$(printf '%s' "$folder/$top/varnet.exe" | tr '/' '\\')"
said=$("$wine_run" "$probe" "$program") || fail "no message box: $said"
case "$said" in
  *"WebView2 Runtime is not installed"*"https://developer.microsoft.com/microsoft-edge/webview2/"*) ;;
  *) fail "the program said: $said" ;;
esac
# Without the runtime the start failed: a launcher sees it by the code and standard error.
case "$said" in *"exit code 1"*) ;; *) fail "exit code: $said" ;; esac
case "$said" in *"Varnet: the window cannot be shown: Varnet cannot open its window"*) ;;
  *) fail "nothing on standard error: $said" ;; esac
echo "windows zip test: passed ($(basename "$zip"): $(echo $imports | wc -w) system DLLs imported)"
