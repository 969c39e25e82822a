#!/bin/sh
# Runs the GermanLayout suite of the Windows tests with the X display on a
# German layout, which Wine reads when the test program starts, and puts the
# display's layout back afterwards:
#   german_layout.sh wine-run.sh varnet_win32_tests.exe
previous=$(setxkbmap -query | awk '/^layout:/ { print $2 }')
setxkbmap de || exit 1
VARNET_GERMAN_LAYOUT=1 "$1" "$2" --gtest_filter='GermanLayout.*'
status=$?
setxkbmap "${previous:-us}"
exit "$status"
