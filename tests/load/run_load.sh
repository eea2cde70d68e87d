#!/usr/bin/env bash
# The long load runs, beside the short ones of the test command: 64 agents for 10 minutes
# against one reference idle service, eight agents sharing one log for 60 seconds and 500
# runs ended at a random moment on Linux; eight agents for 60 seconds under Wine.
#
#   tests/load/run_load.sh [native|windows|all] [NATIVE_BUILD] [WINDOWS_BUILD]
#
# Builds default to build/native and build/windows (build them first). Runs niced; each
# part prints its result line and the machine's load.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
what=${1:-all}
native=$(realpath "${2:-$root/build/native}")
windows=$(realpath "${3:-$root/build/windows}")
failed=0

load() { echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"; }

run_native() { # filter, environment...
  local filter=$1
  shift
  echo "== native $filter $*"
  load
  env "$@" nice "$native/tests/load/load_tests" --gtest_filter="$filter" 2>&1 |
    grep -v '^\[ *\(RUN\|OK\|==\|--\)' || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
  load
}

if [ "$what" = native ] || [ "$what" = all ]; then
  [ -x "$native/tests/load/load_tests" ] || { echo "build $native first" >&2; exit 2; }
  run_native 'LoadTest.ManyAgents*' SA_LOAD_AGENTS=64 SA_LOAD_SECONDS=600
  run_native 'LoadTest.AgentsSharingOneLog*' SA_LOAD_LOG_AGENTS=8 SA_LOAD_LOG_SECONDS=60
  run_native 'LoadTest.QuitOrEndOfSession*' SA_LOAD_RUNS=500
fi

if [ "$what" = windows ] || [ "$what" = all ]; then
  [ -f "$windows/tests/load/load_tests.exe" ] || { echo "build $windows first" >&2; exit 2; }
  WINEPREFIX=${WINEPREFIX:-$windows/wineprefix}
  export WINEPREFIX
  source "$root/scripts/wine-env.sh"
  mkdir -p "$WINEPREFIX"
  run_wine() { # filter, environment...
    local filter=$1
    shift
    echo "== windows (Wine) $filter $*"
    load
    env "$@" nice xvfb-run -a -s "-screen 0 1280x1024x24" /usr/lib/wine/wine64 \
      "$windows/tests/load/load_tests.exe" --gtest_filter="$filter" 2>&1 |
      grep -v '^\[ *\(RUN\|OK\|==\|--\)' || true
    [ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
    load
  }
  run_wine 'LoadTest.ManyAgents*' SA_LOAD_AGENTS=8 SA_LOAD_SECONDS=60
  run_wine 'LoadTest.AgentsSharingOneLog*' SA_LOAD_LOG_AGENTS=8 SA_LOAD_LOG_SECONDS=60
  run_wine 'LoadTest.QuitOrEndOfSession*' SA_LOAD_RUNS=100
fi
((failed == 0)) || { echo "FAILED: see above"; exit 1; }
