#!/usr/bin/env bash
# Build and test the Zelvaro libraries.
#   ./build.sh test   normal build (g++), all tests
#   ./build.sh asan   clang build with ASan + UBSan, all tests and fuzz seeds
# Run as root, it first installs the missing Debian packages listed in
# tools/debian-packages.
set -euo pipefail
cd "$(dirname "$0")"

say() { printf '==> %s\n' "$*"; }

# The number-text tests also read numbers under a German LC_NUMERIC; generate
# that locale when it is missing (they are skipped where it cannot be made).
ensure_german_locale() {
  if command -v localedef >/dev/null && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    say "generating locale de_DE.UTF-8"
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 || say "could not generate de_DE.UTF-8"
  fi
}

install_packages() {
  local wanted missing=()
  if [ "$(id -u)" -ne 0 ] || ! command -v dpkg-query >/dev/null; then
    say "not root: skipping package installation"
    return
  fi
  while read -r wanted; do
    case "$wanted" in ''|'#'*) continue ;; esac
    if ! dpkg-query -W -f='${Status}' "$wanted" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$wanted")
    fi
  done < tools/debian-packages
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
  else
    say "all Debian packages present"
  fi
  ensure_german_locale
}

run_preset() {
  local preset=$1
  say "configuring ($preset)"
  cmake --preset "$preset"
  say "building ($preset)"
  cmake --build --preset "$preset" -j "$(nproc)"
  say "testing ($preset)"
  ctest --preset "$preset" -j "$(nproc)"
}

case "${1:-test}" in
  test) install_packages; run_preset default ;;
  asan) install_packages; run_preset asan ;;
  *) echo "usage: $0 [test|asan]" >&2; exit 2 ;;
esac
say "done"
