#!/usr/bin/env bash
# Builds the Debian package of a build folder and checks it as a user would
# meet it: lintian and the desktop's validators find no error, the files are
# where the desktop looks for them, and the installed program (unpacked into
# a scratch root) started as an unprivileged user with an empty home makes
# its working folder, its nine-line settings file and DeviceFiles; a second
# start changes nothing the user edited. The program runs in a network
# namespace of its own with nothing but a loopback that is down, so that
# whatever its first start did, nothing could leave the machine.
#
# Usage: package_test.sh BUILD_FOLDER
set -euo pipefail
build="$1"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/qz-package-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
deb="$(ls "$scratch"/package/qz-explorer_*.deb)"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "depends: $depends"
[[ "$depends" == *libqt6widgets6* ]] || fail "the Qt runtime is not among the dependencies"
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || fail "lintian reports errors"
lintian_said="$(lintian --suppress-tags-from-file /dev/null "$deb" 2>&1 || true)"
[[ "$lintian_said" != *-override* ]] || fail "lintian finds an override that does not apply: $lintian_said"
[[ "$(dpkg-deb -f "$deb" Description)" != *$'\n ;'* ]] || fail "the description's lines begin with ;"
[[ "$(dpkg-deb -f "$deb" Recommends)" == *xdg-utils* ]] || fail "xdg-utils (the manual, a device's web page) is not recommended"

root="$scratch/root"
dpkg -x "$deb" "$root"
# What dpkg runs after unpacking, on the scratch root: the program may bind
# UDP 162 (permitted, not effective).
dpkg-deb -e "$deb" "$scratch/control"
DPKG_ROOT="$root" sh "$scratch/control/postinst" configure
[[ "$(getcap "$root/usr/bin/qz-explorer")" == *cap_net_bind_service=p ]] ||
  fail "postinst did not let the program bind port 162: $(getcap "$root/usr/bin/qz-explorer")"
app_id=net.qzexplorer.QZExplorer
for file in usr/bin/qz-explorer usr/share/applications/$app_id.desktop \
            usr/share/icons/hicolor/scalable/apps/$app_id.svg usr/share/icons/hicolor/48x48/apps/$app_id.png \
            usr/share/icons/hicolor/256x256/apps/$app_id.png usr/share/metainfo/$app_id.metainfo.xml \
            usr/share/man/man1/qz-explorer.1.gz usr/share/man/ru/man1/qz-explorer.1.gz usr/share/doc/qz-explorer/copyright \
            usr/share/qz-explorer/manual/en/index.html usr/share/qz-explorer/manual/ru/index.html \
            usr/share/qz-explorer/manual/images/manage.png; do
  [[ -f "$root/$file" ]] || fail "the package has no $file"
done
for par in "$build"/share/qz-explorer/DeviceFiles/*.par; do
  cmp -s "$par" "$root/usr/share/qz-explorer/DeviceFiles/$(basename "$par")" || fail "$(basename "$par") is not packaged"
done
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
grep -qx 'Categories=Network;Monitor;' "$root/usr/share/applications/$app_id.desktop" || fail "categories"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli"
! grep -q '\.example' "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo holds a made-up address"
grep -qx 'Comment\[ru\]=.*' "$root/usr/share/applications/$app_id.desktop" || fail "no Russian comment"

home="$scratch/home"
mkdir "$home"
chown nobody: "$home"
start_as_user() {
  local status=0
  unshare --net setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
    timeout 4 "$root/usr/bin/qz-explorer" >"$scratch/output" 2>&1 || status=$?
  # Still running when the time was up, as a program with a window is.
  [[ $status -eq 124 ]] || { cat "$scratch/output"; fail "the program ended by itself with status $status"; }
}
folder="$home/.local/share/qz-explorer"
start_as_user
[[ -f "$folder/QZexplorer.ini" ]] || fail "no settings file in $folder"
[[ "$(tr -cd '\n' <"$folder/QZexplorer.ini" | wc -c)" -eq 9 ]] || fail "the settings file is not nine lines"
[[ "$(stat -c %U "$folder/QZexplorer.ini")" == nobody ]] || fail "the settings file is not the user's"
for par in "$root"/usr/share/qz-explorer/DeviceFiles/*.par; do
  cmp -s "$par" "$folder/DeviceFiles/$(basename "$par")" || fail "DeviceFiles/$(basename "$par") was not seeded"
done

# The user edits a description file and a setting; then a new version of
# the package changes that file and another. The second start keeps the
# user's, and the copy the user never changed follows the installed one.
printf 'A\tExtra alarm\t1.3.6.1.4.1.98361.2.2.9.0\r\n' >>"$folder/DeviceFiles/QZ120.par"
sed -i '6s/.*/750\r/' "$folder/QZexplorer.ini"
for par in QZ120.par QZ300.par; do
  printf 'A\tNew alarm\t1.3.6.1.4.1.98361.2.2.8.0\r\n' >>"$root/usr/share/qz-explorer/DeviceFiles/$par"
done
users_files() { (cd "$folder" && find . -type f ! -name QZ300.par ! -name .installed -exec sha256sum {} + | sort); }
before="$(users_files)"
start_as_user
after="$(users_files)"
[[ "$before" == "$after" ]] || { diff <(echo "$before") <(echo "$after"); fail "the second start changed the user's files"; }
cmp -s "$root/usr/share/qz-explorer/DeviceFiles/QZ300.par" "$folder/DeviceFiles/QZ300.par" ||
  fail "the upgraded QZ300.par did not reach the copy the user never changed"
# Debian 12's net.ipv4.ping_group_range, "1 0" (a new network namespace's
# too): an ordinary user has no ICMP socket, and the installed program pings
# the device it shows through /bin/ping. The pings it recorded say so (the
# end that timeout asks for with SIGTERM writes them). In the same namespace
# (ports below 1024 privileged, as on any Debian machine) the program,
# started as an ordinary user, receives traps on UDP 162 and holds no
# capability while it runs.
work="$scratch/ping-work"
mkdir -p "$work"
printf '127.0.0.14\r\n127.0.0.14\r\nfalse\r\nkelvor\r\nstranix\r\n200\r\n1\r\ntrue\r\n500\r\n' >"$work/QZexplorer.ini"
printf ';-------- Machine generated file - DO NOT EDIT !!! -----\r\n127.0.0.14\tPinged\tLab\tQZ120\tSNMP station vers. 1.06 \r\n' \
  >"$work/QZdevices.cfg"
printf '[127.0.0.14]\ntype = QZ120\nfirmware = SNMP station vers. 1.06\nname = Pinged\nlocation = Lab\n' >"$scratch/ping.lab"
chown -R nobody: "$work"
unshare --net bash -c '
  set -e
  ip link set lo up
  [[ "$(tr -s "[:space:]" " " </proc/sys/net/ipv4/ping_group_range)" == "1 0 " ]] || { echo "ping_group_range is not 1 0"; exit 3; }
  python3 "$1/tools/device_lab.py" start "$2/ping.lab" "$2/ping-lab" --devices "$3/usr/share/qz-explorer/DeviceFiles" >/dev/null
  [[ "$(cat /proc/sys/net/ipv4/ip_unprivileged_port_start)" -gt 162 ]] || { echo "port 162 is not privileged here"; exit 3; }
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$4" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
    timeout 8 "$3/usr/bin/qz-explorer" --workdir "$5" >"$2/ping-output" 2>&1 &
  program=$!
  sleep 3
  traps=""
  ss -H -lunp "sport = :162" | grep -q qz-explorer || traps+=" nothing listens on UDP 162: $(ss -H -lunp);"
  for task in /proc/$(pgrep -u nobody -f "^$3/usr/bin/qz-explorer")/task/*; do
    grep -q "^CapEff:[[:space:]]*0*$" "$task/status" || traps+=" a thread holds $(grep CapEff "$task/status");"
  done
  snmpinform -v 2c -c kelvor -r 0 -t 3 127.0.0.1:162 "" 1.3.6.1.4.1.98361.0.1 >/dev/null 2>&1 ||
    traps+=" the inform to UDP 162 was not answered;"
  status=0
  wait $program || status=$?
  python3 "$1/tools/device_lab.py" stop "$2/ping-lab" >/dev/null
  [[ $status -eq 124 ]] || { cat "$2/ping-output"; exit 4; }
  [[ -z $traps ]] || { echo "traps:$traps"; exit 5; }
' pinging "$(cd "$(dirname "$0")/../.." && pwd)" "$scratch" "$root" "$home" "$work" || fail "the ping and trap namespace run failed (see above)"
answered="$(python3 -c 'import sqlite3, sys; print(sqlite3.connect(sys.argv[1]).execute("SELECT COUNT(*) FROM ping WHERE rtt IS NOT NULL").fetchone()[0])' "$work/QZhistory.db")"
[[ "$answered" -gt 0 ]] || fail "no ping of an ordinary user was answered where ping_group_range is 1 0"
echo "pings answered through /bin/ping: $answered"
echo "traps received on UDP 162 by an ordinary user: yes"

echo "package test: passed"
