#!/usr/bin/env bash
# Refuses a program that would not start on every Linux the packages support: one that
# needs a glibc symbol version newer than GLIBC, any version of the shared C++ runtime
# (GLIBCXX, CXXABI) or of libgcc_s (GCC), or a shared library other than glibc's own.
#
#   check_portable.sh GLIBC PROGRAM...      e.g. check_portable.sh 2.31 SchedulerAgent
#
# Prints the versions each program needs; exit status 1 names what is refused.
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 GLIBC PROGRAM..." >&2; exit 2; }
newest=$1
shift
glibc_libraries=" libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-x86-64.so.2 "

# A few of the symbols that need VERSION, to say what asks for it.
symbols_of() {
  grep -F "($1)" <<<"$symbols" | awk '{print $NF}' | head -n 3 | tr '\n' ' '
}
refused=0
refuse() {
  echo "$program: $*" >&2
  refused=1
}
for program in "$@"; do
  symbols=$(objdump -T "$program") || { refuse "objdump cannot read it"; continue; }
  # Versions appear as "(GLIBC_2.30)", or bare for symbols a program defines.
  versions=$(grep -oE '\b(GLIBC|GLIBCXX|CXXABI|GCC)_[0-9][0-9.]*' <<<"$symbols" | sort -uV || true)
  echo "$program: $(tr '\n' ' ' <<<"$versions")"
  while read -r version; do
    [ -n "$version" ] || continue
    case $version in
    GLIBC_*)
      number=${version#GLIBC_}
      if [ "$(printf '%s\n%s\n' "$number" "$newest" | sort -V | tail -n 1)" != "$newest" ]; then
        refuse "needs $version, newer than GLIBC_$newest: $(symbols_of "$version")"
      fi
      ;;
    *) refuse "needs $version of a shared runtime: $(symbols_of "$version")" ;;
    esac
  done <<<"$versions"
  while read -r library; do
    [[ $glibc_libraries == *" $library "* ]] || refuse "needs the shared library $library"
  done < <(objdump -p "$program" | awk '$1 == "NEEDED" {print $2}')
done
exit $refused
