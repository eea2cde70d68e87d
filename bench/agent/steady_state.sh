#!/usr/bin/env bash
# The agent's steady state against the reference idle service, logging off and on: CPU
# time per second of run (the scheduler's nanosecond count), peak resident memory and
# wake-ups per second, all from the kernel's own accounting of the process (/proc). The two
# agents run at the same time, so that whatever else loads the machine weighs on both
# alike, and the run is cut into windows whose figures show the spread. Beside the peak it
# shows what makes up the resident memory at the end: the process's own (anonymous) pages,
# the pages of files it maps (mostly shared libraries, shared with every process that uses
# them) and its proportional share (PSS).
#
#   steady_state.sh [seconds] [build] [windows]   (defaults: 60, build/release, 6)
set -euo pipefail
seconds=${1:-60}
build=${2:-$(cd "$(dirname "$0")/../.." && pwd)/build/release}
windows=${3:-6}
agent_bin="$build/agent/SchedulerAgent"
service_bin="$build/tools/idle_service/idle_service"
[ -x "$agent_bin" ] && [ -x "$service_bin" ] || { echo "build $build first" >&2; exit 2; }

source "$(dirname "$0")/../process_figures.sh"
start_reference_service "$service_bin"

modes=(logging-off logging-on)
declare -A pid
start() { # mode, ini contents
  local dir="$work/$1"
  mkdir -p "$dir"
  cp "$agent_bin" "$dir/"
  [ -n "$2" ] && printf '%b' "$2" >"$dir/MKLOG.INI"
  "$dir/SchedulerAgent" &
  pid[$1]=$!
}
status_kib() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }

start logging-off ""
start logging-on '[settings]\r\nDebuggLog=1\r\n'
sleep 1 # start-up is not the steady state

declare -A cpu0 ctx0 first_cpu first_ctx cpu_windows wake_windows
for m in "${modes[@]}"; do
  first_cpu[$m]=$(cpu_ns "${pid[$m]}")
  first_ctx[$m]=$(wakes "${pid[$m]}")
done
window=$(awk -v s="$seconds" -v w="$windows" 'BEGIN {print s / w}')
for ((i = 0; i < windows; ++i)); do
  for m in "${modes[@]}"; do
    cpu0[$m]=$(cpu_ns "${pid[$m]}")
    ctx0[$m]=$(wakes "${pid[$m]}")
  done
  sleep "$window"
  for m in "${modes[@]}"; do
    cpu_windows[$m]+=" $(awk -v c=$(($(cpu_ns "${pid[$m]}") - cpu0[$m])) -v s="$window" \
      'BEGIN {printf "%.4f", 100 * c / 1e9 / s}')"
    wake_windows[$m]+=" $(awk -v w=$(($(wakes "${pid[$m]}") - ctx0[$m])) -v s="$window" \
      'BEGIN {printf "%.2f", w / s}')"
  done
done

echo "agent steady state over ${seconds}s in $windows windows against the reference idle" \
  "service, both agents at once (display: ${DISPLAY:-none})"
for m in "${modes[@]}"; do
  p=${pid[$m]}
  awk -v n="$m" -v c=$(($(cpu_ns "$p") - first_cpu[$m])) -v s="$seconds" \
    -v w=$(($(wakes "$p") - first_ctx[$m])) -v h="$(status_kib "$p" VmHWM)" \
    -v a="$(status_kib "$p" RssAnon)" -v f="$(status_kib "$p" RssFile)" \
    -v p="$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup")" 'BEGIN {
      printf "%-12s cpu %.4f %% of a core   peak RSS %.2f MiB   wake-ups %.2f/s   (own %.2f MiB, files %.2f MiB, PSS %.2f MiB)\n",
        n, 100 * c / 1e9 / s, h / 1024, w / s, a / 1024, f / 1024, p / 1024 }'
done
for m in "${modes[@]}"; do
  echo "$m windows cpu %:${cpu_windows[$m]}"
  echo "$m windows wake-ups/s:${wake_windows[$m]}"
done
for m in "${modes[@]}"; do
  kill -TERM "${pid[$m]}"
  wait "${pid[$m]}" || true
done
