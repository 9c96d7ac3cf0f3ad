#!/usr/bin/env bash
# What the program's offices make for the whole machine stays usable by every
# account. In a private mount namespace, an empty folder stands in for
# LibreOffice's machine-wide extension cache (/var/spool/libreoffice/...);
# the probe (MachineCacheProbe.cpp) runs a build through the program's own
# offices under umask 000, which makes that cache as the first office on a
# machine does; then every folder in it must be readable and searchable by
# all, and the user nobody's own LibreOffice must still convert a file. The
# real cache is never touched: it is compared before and after.
#
# usage: machine_cache_test.sh PROBE
# Exits 77 (skipped) when not run as root or without unshare, mount or
# setpriv.
set -euo pipefail

probe="$1"

skip() {
  echo "skipped: $*"
  exit 77
}

[ "$(id -u)" -eq 0 ] || skip "a private mount namespace needs root"
for tool in unshare mount setpriv soffice; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
unshare -m --propagation private true 2>/dev/null || skip "no private mount namespace can be made here"
soffice="$(command -v soffice)"

spool=/var/spool/libreoffice
if [ -d "$spool/uno_packages/cache" ]; then
  real="$spool/uno_packages/cache"
elif [ -d "$spool" ]; then
  real="$spool"
else
  skip "$spool does not exist: this LibreOffice keeps no machine-wide cache there"
fi

# Names, types, modes and owners of the real cache, which must stay as they
# are.
state_of_real() {
  find "$real" -printf '%p %y %m %u %g\n' | sort
}
before="$(state_of_real)"

work="$(mktemp -d /tmp/quorbel-machine-cache.XXXXXX)"
user_home="$(mktemp -d /tmp/quorbel-machine-cache-user.XXXXXX)"
trap 'rm -rf "$work" "$user_home"' EXIT
empty="$work/cache"
mkdir -m "$(stat -c %a "$real")" "$empty"
mkdir -m 0700 "$work/temp" "$work/xdg-cache" "$work/config"
printf 'a,b\n1,2\n' >"$user_home/tiny.csv"
chown -R 65534:65534 "$user_home"

status=0
unshare -m --propagation private env \
  REAL="$real" EMPTY="$empty" PROBE="$probe" WORK="$work" USER_HOME="$user_home" SOFFICE="$soffice" \
  bash -c '
set -euo pipefail
mount --bind "$EMPTY" "$REAL"
if [ -n "$(ls -A "$REAL")" ]; then
  echo "FAILED: the empty folder does not stand in for $REAL"
  exit 1
fi

failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}

echo "--- a build through the program'\''s offices, under umask 000"
(umask 000
 QT_QPA_PLATFORM=offscreen TEMP="$WORK/temp" XDG_CACHE_HOME="$WORK/xdg-cache" \
   XDG_CONFIG_HOME="$WORK/config" "$PROBE") || fail "the build through the program'\''s offices"

echo "--- what the office made in the machine-wide cache"
(cd "$REAL" && find . -mindepth 1 -printf "%m %u %p\n" | sort)
if [ -z "$(find "$REAL" -mindepth 1 -type d)" ]; then
  fail "the office made no folder there, so nothing was tried"
fi
closed="$(find "$REAL" \( -type d ! -perm -o+rx \) -o \( -type f ! -perm -o+r \))"
if [ -n "$closed" ]; then
  fail "not readable by all: $closed"
else
  echo "ok: everything there is readable by all"
fi

echo "--- the user nobody'\''s own LibreOffice"
if ! (cd "$USER_HOME" && timeout 180 setpriv --reuid=65534 --regid=65534 --clear-groups \
        env -i HOME="$USER_HOME" PATH=/usr/bin:/bin LANG=C.UTF-8 \
        "$SOFFICE" --headless --convert-to pdf --outdir "$USER_HOME" "$USER_HOME/tiny.csv"); then
  fail "nobody'\''s LibreOffice did not finish"
elif [ ! -s "$USER_HOME/tiny.pdf" ]; then
  fail "nobody'\''s LibreOffice made no PDF"
else
  echo "ok: nobody'\''s LibreOffice converted a file"
fi
exit "$failed"
' || status=$?

after="$(state_of_real)"
if [ "$before" != "$after" ]; then
  echo "FAILED: the real $real changed:"
  diff <(echo "$before") <(echo "$after") || true
  exit 1
fi
echo "ok: the real $real is as it was"
exit "$status"
