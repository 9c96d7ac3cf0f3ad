#!/usr/bin/env bash
# Sets up Quorbel on a Debian 12 or 13 machine: installs what is missing,
# builds it, then starts it, runs every test, or makes the Debian package.
#
# usage: setup.sh [run|test|package|help]           (default: run)
#   run      install, build the program alone (build/), start it
#   test     install (with the test tools and locales), build with the tests,
#            run every test, make and check the package, run the fuzz
#            targets, then build again with the sanitizers and run every
#            test there
#   package  install, build the program alone, make
#            build/quorbel_<version>~deb<release>_<architecture>.deb
#   help     show this text
#
#   QUORBEL_BUILD_DIR=<dir>            the build folder (default: build/)
#   QUORBEL_SANITIZER_BUILD_DIR=<dir>  the sanitizer build folder (default:
#                                      build-sanitizers/)
#   QUORBEL_SETUP_INSTALL_ONLY=1       stop after installing what the mode
#                                      needs (scripts/check-release.sh installs
#                                      with the network, then runs the tests
#                                      without it)
#   QUORBEL_SANITIZERS=0               leave out the test mode's sanitizer run
#   QUORBEL_WARNINGS_AS_ERRORS=1       build with -Werror (as continuous
#                                      integration does)
#
# apt-get runs under sudo when the script is not run as root.
set -euo pipefail

top="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORBEL_BUILD_DIR:-$top/build}"
sanitized="${QUORBEL_SANITIZER_BUILD_DIR:-$top/build-sanitizers}"

usage() {
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

# --- Packages: what each mode needs --------------------------------------------------

# The packages `mode` needs, one a line.
packages_for() {
  local mode="$1"
  local packages=(
    # build (libxcb1-dev: a later start's window activation on X11; libcups2-dev:
    # printing the sheet through CUPS)
    cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libpoppler-cpp-dev libxcb1-dev libcups2-dev
    # the spreadsheet application
    libreoffice-calc-nogui libreoffice-draw-nogui
    # fonts the template names: Tahoma and Marlett, and Arial's metric twin
    fonts-wine fonts-liberation
  )
  if [ "$mode" = test ]; then
    packages+=(
      # authoring and independent reading of the template workbook
      libspreadsheet-writeexcel-perl python3 python3-xlrd python3-uno
      # independent reading of the workbook written as .xlsx, .ods and PDF
      python3-openpyxl python3-odf poppler-utils
      # locales the tests run the program in
      locales
      # the session test: a session manager of its own (libSM, libICE) and an
      # X server; the screen reader check: the accessibility bus and its
      # Python client; xsm, a session manager to try by hand
      libsm-dev libice-dev xvfb x11-session-utils at-spi2-core python3-pyatspi dbus-x11
      # the fuzz targets (scripts/fuzz.sh): clang with libFuzzer
      clang
      # the printing test reads the text of what a real CUPS queue printed
      poppler-utils
    )
  fi
  if [ "$mode" = package ] || [ "$mode" = test ]; then
    packages+=(
      # dpkg-shlibdeps for the package's Depends, and the package's checks
      dpkg-dev file desktop-file-utils appstream lintian
    )
  fi
  printf '%s\n' "${packages[@]}"
}

# The office's C++ API, installed without what it recommends: on Debian 13 its
# libreofficekit-dev recommends the GUI office, which would replace the
# -nogui office the program's package depends on (and bring GTK and a Java
# runtime), so the tests would run another office than users get.
lean_packages=(libreoffice-dev libreoffice-dev-common)

# The test mode's, installed the same way: the printing test's own CUPS
# scheduler with a queue that writes PDF files (cups-daemon, cups-client and
# ghostscript come with it), without the network printing services CUPS
# recommends.
lean_test_packages=(printer-driver-cups-pdf)

# Of the packages named, those not installed, one a line.
missing_of() {
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      echo "$package"
    fi
  done
}

# Installs what `mode` needs and is missing.
install_packages() {
  local mode="$1" packages missing missing_lean lean=("${lean_packages[@]}")
  if [ "$mode" = test ]; then
    lean+=("${lean_test_packages[@]}")
  fi
  mapfile -t packages < <(packages_for "$mode")
  mapfile -t missing < <(missing_of "${packages[@]}")
  mapfile -t missing_lean < <(missing_of "${lean[@]}")
  if [ "${#missing[@]}" -eq 0 ] && [ "${#missing_lean[@]}" -eq 0 ]; then
    return
  fi
  echo "Installing: ${missing[*]} ${missing_lean[*]}"
  $sudo apt-get update
  if [ "${#missing[@]}" -gt 0 ]; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
  fi
  if [ "${#missing_lean[@]}" -gt 0 ]; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing_lean[@]}"
  fi
}

# --- Locales: the ones the tests run the program and the office in ------------------

install_test_locales() {
  local needed=() loc
  for loc in en_US.UTF-8 de_DE.UTF-8; do
    if ! locale -a 2>/dev/null | grep -qx "${loc/UTF-8/utf8}"; then
      needed+=("$loc")
    fi
  done
  if [ "${#needed[@]}" -eq 0 ]; then
    return
  fi
  for loc in "${needed[@]}"; do
    if ! grep -q "^$loc UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$loc UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    fi
  done
  $sudo locale-gen
}

# --- LibreOffice's machine-wide extension cache --------------------------------------

# The first office run on a machine makes this cache. An earlier Quorbel,
# run as root, made it readable by root alone, which stops every other
# account's LibreOffice ("DeploymentException"): made readable by all again.
# Nothing happens when it is missing or already readable.
mend_office_cache() {
  local cache=/var/spool/libreoffice/uno_packages/cache
  if [ ! -d "$cache" ] || [ -L "$cache" ]; then
    return
  fi
  local closed
  closed="$(find "$cache" \( \( -type d ! -perm -o+rx \) -o \( ! -type d ! -perm -o+r \) \) -print -quit 2>/dev/null || true)"
  if [ -n "$closed" ]; then
    echo "Making $cache readable by all again"
    $sudo chmod -R go+rX "$cache"
  fi
}

# --- Build -----------------------------------------------------------------------------

# Configures and builds `dir` for `mode`; further arguments go to cmake.
build_in() {
  local dir="$1" mode="$2"
  shift 2
  local options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DQUORBEL_WARNINGS_AS_ERRORS="$([ "${QUORBEL_WARNINGS_AS_ERRORS:-0}" = 1 ] && echo ON || echo OFF)")
  if [ "$mode" != test ]; then
    # The program alone: no tests, no QtTest.
    options+=(-DBUILD_TESTING=OFF)
  fi
  cmake -S "$top" -B "$dir" "${options[@]}" "$@"
  cmake --build "$dir" -j "$(nproc)"
}

# --- Package: build/quorbel_<version>_<architecture>.deb -----------------------------

make_package() {
  local arch
  arch="$(dpkg --print-architecture)"
  rm -f "$build"/quorbel_*_"$arch".deb
  cmake --build "$build" --target package
  ls "$build"/quorbel_*_"$arch".deb
}

# The package, its validators and its unpacked program.
check_package() {
  make_package
  bash "$top/scripts/check-package.sh" "$build"
}

# --- Tests -----------------------------------------------------------------------------

run_tests() {
  (cd "$build" && ctest --output-on-failure --timeout 900)
}

# The parsers of bytes from outside, fuzzed for a fixed time each (a clang
# build of their own in build-fuzz/).
run_fuzz_targets() {
  bash "$top/scripts/fuzz.sh"
}

# The same tests once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the test that made it. (Leak
# checking is off: the office's libraries keep allocations until the process
# ends.)
run_sanitizer_tests() {
  build_in "$sanitized" test -DQUORBEL_SANITIZERS=ON
  (cd "$sanitized" &&
    ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:abort_on_error=1" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
      ctest --output-on-failure --timeout 900)
}

# --- The modes -------------------------------------------------------------------------

main() {
  local mode="${1:-run}"
  case "$mode" in
    run|test|package) ;;
    help|-h|--help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac

  install_packages "$mode"
  if [ "$mode" = test ]; then
    install_test_locales
  fi
  if [ "$mode" = run ] || [ "$mode" = test ]; then
    mend_office_cache
  fi
  if [ "${QUORBEL_SETUP_INSTALL_ONLY:-0}" = 1 ]; then
    exit 0
  fi

  build_in "$build" "$mode"
  case "$mode" in
    run)
      exec "$build/bin/quorbel"
      ;;
    package)
      make_package
      ;;
    test)
      run_tests
      check_package
      run_fuzz_targets
      if [ "${QUORBEL_SANITIZERS:-1}" = 0 ]; then
        echo "The sanitizer build is left out (QUORBEL_SANITIZERS=0)."
        exit 0
      fi
      run_sanitizer_tests
      ;;
  esac
}

main "$@"
