#!/usr/bin/env bash
# The Debian package for real (run as root; it installs into this system):
# apt-get installs it, `varnet` from the PATH shows its window on a private X
# server and runs its page, the menu entry is in place, and apt-get remove
# leaves none of its files in /usr.
#   tests/install/linux_package_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
xvfb_pid=""
varnet_pid=""
cleanup() {
  [ -z "$varnet_pid" ] || kill "$varnet_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "linux package test: FAILED: $*" >&2; exit 1; }
# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1; shift
  for ((i = 0; i < tenths; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
# Quiet unless it fails.
quietly() { "$@" >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "$*"; }; }
apt() { DEBIAN_FRONTEND=noninteractive quietly apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@"; }

quietly cpack --config "$build/CPackConfig.cmake" -B "$work/dist"
deb=$(ls "$work"/dist/varnet_*_amd64.deb)
version=$(dpkg-deb -f "$deb" Version)

apt install "$deb"
files=()
while read -r path; do
  if [ -L "$path" ] || [ ! -d "$path" ]; then files+=("$path"); fi
done < <(dpkg-query -L varnet)

[ "$(command -v varnet)" = /usr/bin/varnet ] || fail "varnet is not on the PATH"
[ "$(varnet --version)" = "Varnet $version" ] || fail "varnet --version says '$(varnet --version)'"
entry=/usr/share/applications/org.varnet.Varnet.desktop
desktop-file-validate "$entry" || fail "menu entry invalid"
grep -qx 'Exec=/usr/bin/varnet' "$entry" || fail "menu entry does not start varnet"
grep -qx 'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input' "$entry" || fail "menu entry does not ask KDE for input"
[ -f /usr/share/icons/hicolor/scalable/apps/org.varnet.Varnet.svg ] || fail "icon missing"
appstreamcli validate --no-net /usr/share/metainfo/org.varnet.Varnet.metainfo.xml >/dev/null ||
  fail "metainfo invalid"

# Started as the menu would start it, with a home of its own.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 10 display_number <&"$display_fd"
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/run" \
  DISPLAY=":$display_number" NO_AT_BRIDGE=1 varnet >"$work/varnet.log" 2>&1 &
varnet_pid=$!
export DISPLAY=":$display_number"
wait_for 300 xdotool search --onlyvisible --pid "$varnet_pid" --name '^Varnet \(Kestrine Edition\)$' ||
  fail "no window; the program said: $(cat "$work/varnet.log")"
# The page, read from beside the program, polls the status, which the
# program writes for pop-out panels.
wait_for 300 test -s "$work/home/.config/varnet/status.txt" || fail "the page never ran"
kill -TERM "$varnet_pid"
wait "$varnet_pid" || fail "exit code $? after SIGTERM"
varnet_pid=""
[ -s "$work/home/.local/share/Varnet/session.mcr" ] || fail "no session saved in the home folder"

apt remove varnet
for path in "${files[@]}"; do
  if [ -e "$path" ] || [ -L "$path" ]; then fail "$path left behind"; fi
done
left=$(find /usr -iname '*varnet*' | head -5)
[ -z "$left" ] || fail "left in /usr: $left"
# Removed, the package is still known to dpkg for its postrm; forget it.
apt purge varnet
echo "linux package test: passed ($(basename "$deb"), ${#files[@]} files)"
