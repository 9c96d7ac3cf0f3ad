#!/usr/bin/env bash
# Installs what is missing on a Debian 12 or 13 machine, builds Quorbel, and
# then either starts it ("run"), runs every test ("test"), or makes the Debian
# package for this release, build/quorbel_<version>~deb<release>_amd64.deb
# ("package").
#
# QUORBEL_SETUP_INSTALL_ONLY=1 stops after installing what the mode needs
# (scripts/check-release.sh installs with the network, then runs the tests
# without it). QUORBEL_SANITIZERS=0 leaves out the test mode's second run in
# the sanitizer build. QUORBEL_WARNINGS_AS_ERRORS=1 builds with -Werror (as
# continuous integration does).
set -euo pipefail

mode="${1:-run}"
case "$mode" in
  run|test|package) ;;
  *) echo "usage: $0 run|test|package" >&2; exit 2 ;;
esac

top="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORBEL_BUILD_DIR:-$top/build}"

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

packages=(
  # build
  cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libpoppler-cpp-dev
  # the spreadsheet application
  libreoffice-calc-nogui libreoffice-draw-nogui
  # fonts the template names: Tahoma and Marlett, and Arial's metric twin
  fonts-wine fonts-liberation
)
if [ "$mode" = test ]; then
  packages+=(
    # authoring and independent reading of the template workbook
    libspreadsheet-writeexcel-perl python3 python3-xlrd python3-uno
    # locales the tests run the program in
    locales
    # the session test: a session manager of its own (libSM, libICE) and an
    # X server; the screen reader check: the accessibility bus and its
    # Python client; xsm, a session manager to try by hand
    libsm-dev libice-dev xvfb x11-session-utils at-spi2-core python3-pyatspi dbus-x11
    # the fuzz targets (scripts/fuzz.sh): clang with libFuzzer
    clang
  )
fi
# --- Package: making the .deb and checking it ---------------------------------
if [ "$mode" = package ] || [ "$mode" = test ]; then
  packages+=(
    # dpkg-shlibdeps for the package's Depends, and the package's checks
    dpkg-dev file desktop-file-utils appstream lintian
  )
fi
# --- end of package list --------------------------------------------------------
# The office's C++ API, installed without what it recommends: on Debian 13 its
# libreofficekit-dev recommends the GUI office, which would replace the
# -nogui office the program's package depends on (and bring GTK and a Java
# runtime), so the tests would run another office than users get.
lean_packages=(libreoffice-dev libreoffice-dev-common)

missing_of() {
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      echo "$package"
    fi
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_lean < <(missing_of "${lean_packages[@]}")
if [ "${#missing[@]}" -gt 0 ] || [ "${#missing_lean[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]} ${missing_lean[*]}"
  $sudo apt-get update
  if [ "${#missing[@]}" -gt 0 ]; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
  fi
  if [ "${#missing_lean[@]}" -gt 0 ]; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing_lean[@]}"
  fi
fi

if [ "$mode" = test ]; then
  # The tests run the program and the office in these locales.
  needed=()
  for loc in en_US.UTF-8 de_DE.UTF-8; do
    short="$(echo "$loc" | sed 's/UTF-8/utf8/')"
    if ! locale -a 2>/dev/null | grep -qx "$short"; then
      needed+=("$loc")
    fi
  done
  if [ "${#needed[@]}" -gt 0 ]; then
    for loc in "${needed[@]}"; do
      if ! grep -q "^$loc UTF-8" /etc/locale.gen 2>/dev/null; then
        echo "$loc UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
      fi
    done
    $sudo locale-gen
  fi
fi

if [ "${QUORBEL_SETUP_INSTALL_ONLY:-0}" = 1 ]; then
  exit 0
fi

options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  -DQUORBEL_WARNINGS_AS_ERRORS="$([ "${QUORBEL_WARNINGS_AS_ERRORS:-0}" = 1 ] && echo ON || echo OFF)")
if [ "$mode" != test ]; then
  # The program alone: no tests, no QtTest.
  options+=(-DBUILD_TESTING=OFF)
fi
cmake -S "$top" -B "$build" "${options[@]}"
cmake --build "$build" -j "$(nproc)"

if [ "$mode" = run ]; then
  exec "$build/bin/quorbel"
fi

# --- Package: build/quorbel_<version>_amd64.deb -------------------------------
make_package() {
  rm -f "$build"/quorbel_*_amd64.deb
  cmake --build "$build" --target package
}
check_package() {
  make_package
  bash "$top/scripts/check-package.sh" "$build"
}
if [ "$mode" = package ]; then
  make_package
  ls "$build"/quorbel_*_amd64.deb
  exit 0
fi
# --- end of package mode ----------------------------------------------------------

(cd "$build" && ctest --output-on-failure --timeout 900)

# The package, its validators and its unpacked program.
check_package

# The parsers of bytes from outside, fuzzed for a fixed time each (a clang
# build of their own in build-fuzz/).
bash "$top/scripts/fuzz.sh"

if [ "${QUORBEL_SANITIZERS:-1}" = 0 ]; then
  echo "The sanitizer build is left out (QUORBEL_SANITIZERS=0)."
  exit 0
fi

# The same tests once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the test that made it. (Leak
# checking is off: the office's libraries keep allocations until the process
# ends.)
sanitized="${QUORBEL_SANITIZER_BUILD_DIR:-$top/build-sanitizers}"
cmake -S "$top" -B "$sanitized" "${options[@]}" -DQUORBEL_SANITIZERS=ON
cmake --build "$sanitized" -j "$(nproc)"
cd "$sanitized"
ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=1" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --output-on-failure --timeout 900
