#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64 wine64 wine xvfb xauth x11-utils xdotool libxss1 libx11-6
  gettext valgrind clang python3 nlohmann-json3-dev
  lintian dpkg-dev unzip wixl msitools rpm rpmlint debootstrap)
# The idle sources of Wayland and GNOME sessions, tested under the real compositors
# headless: the compositors (weston as one that offers no idle protocol) and their
# session bus, the tools that give them input, and the libraries and protocol
# descriptions the test tools are built from. kwin and mutter recommend a whole desktop;
# what they need headless comes without it, in a fraction of the download and install
# time.
session_packages=(sway wtype mutter kwin-wayland weston dbus dbus-daemon libwayland-client0
  libdbus-1-3 wayland-utils libwayland-dev wayland-protocols plasma-wayland-protocols
  libdbus-1-dev pkgconf)

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_session < <(missing_of "${session_packages[@]}")
if ((${#missing[@]} + ${#missing_session[@]})); then
  echo "installing: ${missing[*]} ${missing_session[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  # Through env: sudo drops the caller's environment.
  apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
  "${apt[@]}" update -qq
  if ((${#missing[@]})); then
    "${apt[@]}" install -y -qq "${missing[@]}"
  fi
  if ((${#missing_session[@]})); then
    "${apt[@]}" install -y -qq --no-install-recommends "${missing_session[@]}"
  fi
fi
