#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest:
#   wine-emulator.sh PREFIX program.exe [arguments...]   (DISPLAY must be set)
# wineserver and Wine's helper processes inherit every open descriptor of
# whoever starts them; if ctest's output pipes were among them, ctest would
# wait for those long-lived processes after every test. So they are started
# first from a subshell that holds nothing but /dev/null, and only then does
# the test itself run.
set -u
export WINEDEBUG=-all
# No Mono or Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [ "${1:-}" = "--prepare-prefix" ]; then
  export WINEPREFIX="$2"
  wineserver -p60
  wine cmd /c exit
  # Xvfb runs no window manager; Wine would wait 2 s for one to acknowledge
  # every window that is hidden or destroyed unless told the windows are
  # not managed. And a test that crashes on purpose needs no debugger: the
  # one named does not exist, so a crash ends the program at once.
  if [ ! -e "$WINEPREFIX/.varnet-configured-v2" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d varnet-no-debugger /f
    touch "$WINEPREFIX/.varnet-configured-v2"
  fi
  exit 0
fi

export WINEPREFIX="$1"
shift
mkdir -p "$WINEPREFIX"
(
  for fd in /proc/$BASHPID/fd/*; do
    fd=${fd##*/}
    if [ "$fd" -gt 2 ] 2>/dev/null; then eval "exec $fd>&-"; fi
  done
  # Tests start in parallel; one of them creates a new prefix, the others
  # wait for it. -o: the long-lived Wine processes must not hold the lock.
  flock -o "$WINEPREFIX.lock" "$0" --prepare-prefix "$WINEPREFIX"
) </dev/null >/dev/null 2>&1

# The program's own output goes through a file: Wine starts its desktop
# process from the program on demand, that process would inherit a pipe to
# ctest and hold it open for a second after the program has ended.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
wine "$@" </dev/null >"$output" 2>&1
status=$?
cat "$output"
exit "$status"
