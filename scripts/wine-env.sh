# Sourced: the Wine settings of the Windows build, with a prefix of the build's own.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}"
export WINEDEBUG=-all
# No Mono or Gecko installers: the programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
