#!/usr/bin/env bash
# Checks the Debian package made in a build folder: the desktop entry and the
# AppStream metainfo pass their validators without a word, lintian finds no
# error, the package holds every file the installation needs, and the program
# unpacked from it into a scratch folder starts (offscreen) and takes its
# office module and its hand pointer from its own program folder there.
#
# usage: check-package.sh <build folder>
set -euo pipefail

build="$(cd "${1:?usage: $0 <build folder>}" && pwd)"
top="$(cd "$(dirname "$0")/.." && pwd)"
# The package's name and version as the build's CPack configuration has them.
cpack_value() {
  cmake -D config="$build/CPackConfig.cmake" -D name="$1" -P "$top/cmake/PrintCPackValue.cmake"
}
version="$(cpack_value CPACK_PACKAGE_VERSION)"
deb="$build/$(cpack_value CPACK_PACKAGE_FILE_NAME).deb"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

[ -f "$deb" ] || { echo "FAIL: no package $deb" >&2; exit 1; }

scratch="$(mktemp -d "${TMPDIR:-/tmp}/quorbel-package.XXXXXX")"
program_pid=""
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

root="$scratch/root"
dpkg -x "$deb" "$root"

# --- Made for this release ------------------------------------------------------
# A package is made on the release it is for: the version names it.
release="$(. /etc/os-release && echo "${ID:-}${VERSION_ID:-}")"
if [ "${release#debian}" != "$release" ] && [ -n "${release#debian}" ]; then
  [ "$(dpkg-deb -f "$deb" Version)" = "${version%%~*}~deb${release#debian}" ] \
    && pass "version $(dpkg-deb -f "$deb" Version) names this release" \
    || fail "version $(dpkg-deb -f "$deb" Version) does not name Debian ${release#debian}"
fi

# --- Validators: silence is success -------------------------------------------
desktop="$root/usr/share/applications/com.marvesk.quorbel.desktop"
metainfo="$root/usr/share/metainfo/com.marvesk.quorbel.metainfo.xml"
out="$(desktop-file-validate "$desktop" 2>&1)" && rc=0 || rc=$?
if [ "$rc" -eq 0 ] && [ -z "$out" ]; then
  pass "desktop-file-validate"
else
  fail "desktop-file-validate: $out"
fi
out="$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1)" && rc=0 || rc=$?
if [ "$rc" -eq 0 ] && ! grep -qE '^[EWIP]:' <<<"$out"; then
  pass "appstreamcli validate --no-net"
else
  fail "appstreamcli validate: $out"
fi

# --- lintian: no errors (warnings are listed) ---------------------------------
out="$(lintian --fail-on error "$deb" 2>&1)" && rc=0 || rc=$?
if [ "$rc" -eq 0 ] && ! grep -q '^E:' <<<"$out"; then
  pass "lintian: no errors"
  grep -E '^W:' <<<"$out" | sed 's/^/  lintian /' || true
else
  fail "lintian:"$'\n'"$out"
fi

# --- The package's file list and fields -----------------------------------------
list="$(dpkg-deb -c "$deb" | awk '{ print $6 ($7 == "->" ? " -> " $8 : "") }' | sed 's|^\./|/|')"
for path in \
  "/usr/bin/quorbel -> ../lib/quorbel/quorbel" \
  /usr/lib/quorbel/quorbel \
  /usr/lib/quorbel/quorbel_libreoffice.so \
  /usr/lib/quorbel/HAND-M.CUR \
  /usr/share/applications/com.marvesk.quorbel.desktop \
  /usr/share/metainfo/com.marvesk.quorbel.metainfo.xml \
  /usr/share/icons/hicolor/48x48/apps/quorbel.png \
  /usr/share/icons/hicolor/64x64/apps/quorbel.png \
  /usr/share/icons/hicolor/128x128/apps/quorbel.png \
  /usr/share/icons/hicolor/256x256/apps/quorbel.png \
  /usr/share/doc/quorbel/copyright \
  /usr/share/doc/quorbel/changelog.gz \
  /usr/share/man/man1/quorbel.1.gz; do
  grep -qxF "$path" <<<"$list" && pass "holds $path" || fail "the package lacks $path"
done
depends="$(dpkg-deb -f "$deb" Depends)"
for wanted in "libreoffice-calc-nogui | libreoffice-calc" "libreoffice-draw-nogui | libreoffice-draw" \
  fonts-wine fonts-liberation libqt6widgets6 libuno-cppu3; do
  grep -qF "$wanted" <<<"$depends" && pass "depends on $wanted" || fail "Depends lacks $wanted: $depends"
done
twice="$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//' | sort | uniq -d)"
[ -z "$twice" ] && pass "Depends names each package once" || fail "Depends names more than once: $twice"

# --- The unpacked program finds its own files -----------------------------------
mkdir -p "$scratch/config" "$scratch/cache" "$scratch/tmp"
log="$scratch/start.log"
(
  export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="quorbel.files.info=true"
  export XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" TEMP="$scratch/tmp"
  exec "$root/usr/bin/quorbel"
) >"$log" 2>&1 &
program_pid=$!
module_line="office module loaded: $root/usr/lib/quorbel/quorbel_libreoffice.so"
pointer_line="hand pointer read: $root/usr/lib/quorbel/HAND-M.CUR"
found=0
for _ in $(seq 1 600); do
  if grep -qF "$module_line" "$log" && grep -qF "$pointer_line" "$log"; then
    found=1
    break
  fi
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if [ "$found" -eq 1 ] && kill -0 "$program_pid" 2>/dev/null; then
  pass "the unpacked program runs and takes its module and pointer from $root/usr/lib/quorbel"
else
  fail "the unpacked program did not report its module and pointer; its output:"$'\n'"$(cat "$log")"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "All package checks passed."
