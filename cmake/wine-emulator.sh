#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest:
#   wine-emulator.sh PREFIX program.exe [arguments...]   (DISPLAY must be set)
# wineserver and Wine's helper processes inherit every open descriptor of
# whoever starts them; if ctest's output pipes were among them, ctest would
# wait for those long-lived processes after every test. So they are started
# first from a subshell that holds nothing but /dev/null, and only then does
# the test itself run.
set -u
export WINEPREFIX="$1"
shift
export WINEDEBUG=-all
# No Mono or Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$WINEPREFIX"
(
  for fd in /proc/$BASHPID/fd/*; do
    fd=${fd##*/}
    if [ "$fd" -gt 2 ] 2>/dev/null; then eval "exec $fd>&-"; fi
  done
  wineserver -p60
  wine cmd /c exit
) </dev/null >/dev/null 2>&1
exec wine "$@"
