#!/usr/bin/env bash
# The agent's steady state against the reference idle service, logging off and on: CPU
# time per second of run (the scheduler's nanosecond count), peak resident memory and wake-ups per second, all from the
# kernel's own accounting of the process (/proc). Beside the peak it shows what makes up the
# resident memory at the end: the process's own (anonymous) pages, the pages of files it maps
# (mostly shared libraries, shared with every process that uses them) and its proportional
# share (PSS). Usage: steady_state.sh [seconds] [build]
set -euo pipefail
seconds=${1:-60}
build=${2:-$(cd "$(dirname "$0")/../.." && pwd)/build/release}
agent_bin="$build/agent/SchedulerAgent"
service_bin="$build/tools/idle_service/idle_service"
[ -x "$agent_bin" ] && [ -x "$service_bin" ] || { echo "build $build first" >&2; exit 2; }

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export NAMED_PIPE_DIR="$work/pipe"
mkdir -p "$NAMED_PIPE_DIR"
"$service_bin" >"$work/service.out" 2>&1 &
sleep 0.5

measure() { # name, ini contents
  local dir="$work/$1"
  mkdir -p "$dir"
  cp "$agent_bin" "$dir/"
  [ -n "$2" ] && printf '%b' "$2" >"$dir/MKLOG.INI"
  "$dir/SchedulerAgent" &
  local pid=$!
  sleep 1 # start-up is not the steady state
  local cpu0 ctx0
  cpu0=$(awk '{print $1}' /proc/$pid/schedstat)
  ctx0=$(awk '/^voluntary_ctxt_switches/ {print $2}' /proc/$pid/status)
  sleep "$seconds"
  local cpu1 ctx1 hwm
  cpu1=$(awk '{print $1}' /proc/$pid/schedstat)
  ctx1=$(awk '/^voluntary_ctxt_switches/ {print $2}' /proc/$pid/status)
  hwm=$(awk '/^VmHWM/ {print $2}' /proc/$pid/status)
  local anon file pss
  anon=$(awk '/^RssAnon/ {print $2}' /proc/$pid/status)
  file=$(awk '/^RssFile/ {print $2}' /proc/$pid/status)
  pss=$(awk '/^Pss:/ {print $2}' /proc/$pid/smaps_rollup)
  kill -TERM $pid
  wait $pid || true
  awk -v n="$1" -v c=$((cpu1 - cpu0)) -v s="$seconds" -v h="$hwm" \
    -v w=$((ctx1 - ctx0)) -v a="$anon" -v f="$file" -v p="$pss" 'BEGIN {
      printf "%-12s cpu %.4f %% of a core   peak RSS %.2f MiB   wake-ups %.2f/s   (own %.2f MiB, files %.2f MiB, PSS %.2f MiB)\n",
        n, 100 * c / 1e9 / s, h / 1024, w / s, a / 1024, f / 1024, p / 1024 }'
}

echo "agent steady state over ${seconds}s against the reference idle service (display: ${DISPLAY:-none})"
measure logging-off ""
measure logging-on '[settings]\r\nDebuggLog=1\r\n'
