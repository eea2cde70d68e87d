#!/usr/bin/env bash
# Each idle source of a Linux session beside the others: one reading (idle_reading_bench)
# and the agent's steady state with logging off (CPU time per second of run, voluntary
# context switches per second, private and peak resident memory, from /proc) under X11
# (the display this runs with) and under headless sway, kwin_wayland and mutter, all
# measured the same way in the same run, each compared with the lowest of the four; the
# four agents run at once, over the same windows.
# Writes the table rows for bench/compare to OUT/idle_sources.tsv; the raw results stay in
# OUT/idle_sources/.
#
#   run.sh SECONDS BUILD OUT
set -euo pipefail
source "$(dirname "$0")/../process_figures.sh"
if [ "${1:-}" = --measure ]; then
  # Inside a session: run.sh --measure SECONDS AGENT WORK BARRIER prints one line per
  # window of SECONDS/6 s, "cpu-percent wake-ups-per-second", then "peak-rss-KiB
  # private-KiB" (the private memory being Private_Clean + Private_Dirty), then the
  # agent's standard error. Its windows start when BARRIER/go appears.
  seconds=$2 agent_bin=$3 work=$4 barrier=$5
  mkdir -p "$work"
  cp "$agent_bin" "$work/"
  "$work/SchedulerAgent" 2>"$work/stderr" &
  pid=$!
  sleep 1 # start-up is not the steady state
  touch "$barrier/ready-$$"
  while [ ! -e "$barrier/go" ]; do sleep 0.1; done
  window=$(awk -v s="$seconds" 'BEGIN { printf "%.3f", s / 6 }')
  for _ in 1 2 3 4 5 6; do
    cpu0=$(cpu_ns $pid)
    ctx0=$(wakes $pid)
    sleep "$window"
    cpu1=$(cpu_ns $pid)
    ctx1=$(wakes $pid)
    awk -v c=$((cpu1 - cpu0)) -v s="$window" -v w=$((ctx1 - ctx0)) \
      'BEGIN { printf "%.5f %.3f\n", 100 * c / 1e9 / s, w / s }'
  done
  hwm=$(awk '/^VmHWM/ {print $2}' /proc/$pid/status)
  private=$(awk '/^Private_(Clean|Dirty):/ {sum += $2} END {print sum}' /proc/$pid/smaps_rollup)
  echo "$hwm $private"
  kill -TERM $pid
  wait $pid || true
  cat "$work/stderr"
  exit 0
fi

seconds=$1 build=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bench/idle_sources/idle_reading_bench"
session="$build/tests/idle_sources/compositor_session"
agent_bin="$build/agent/SchedulerAgent"
service_bin="$build/tools/idle_service/idle_service"
for program in "$bench" "$session" "$agent_bin" "$service_bin"; do
  [ -x "$program" ] || { echo "build $program first" >&2; exit 2; }
done
[ -n "${DISPLAY:-}" ] || { echo "the X11 figures need a display" >&2; exit 2; }
raw=$out/idle_sources
rm -rf "$raw"
mkdir -p "$raw"

start_reference_service "$service_bin"

# in_session KIND COMMAND...: the X11 session is this one without Wayland or session bus;
# the others are headless compositors, each started for the command and ended after it.
in_session() {
  local kind=$1
  shift
  if [ "$kind" = x11 ]; then
    env -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS XDG_SESSION_TYPE=x11 "$@"
  else
    "$session" "$kind" "$@"
  fi
}

kinds=(x11 sway kwin mutter)
for kind in "${kinds[@]}"; do
  echo "== idle source under $kind: one reading" >&2
  in_session "$kind" "$bench" --benchmark_repetitions=20 --benchmark_min_time=0.05 \
    --benchmark_out="$raw/reading-$kind.json" \
    --benchmark_out_format=json >"$raw/reading-$kind.txt" 2>&1 ||
    { cat "$raw/reading-$kind.txt" >&2; echo "reading under $kind failed" >&2; exit 1; }
done

# The four agents run at the same time, each in its session, and are measured over the
# same windows: a busy moment of the machine falls on all of them alike.
echo "== the agent under ${kinds[*]} at once, ${seconds}s" >&2
barrier=$work/barrier
mkdir -p "$barrier"
measuring=()
for kind in "${kinds[@]}"; do
  in_session "$kind" "$here/run.sh" --measure "$seconds" "$agent_bin" "$work/$kind" "$barrier" \
    >"$raw/steady-$kind.txt" &
  measuring+=($!)
done
for _ in $(seq 1800); do
  [ "$(find "$barrier" -name 'ready-*' | wc -l)" -lt ${#kinds[@]} ] || break
  sleep 0.1
done
touch "$barrier/go"
for pid in "${measuring[@]}"; do
  wait "$pid" || { echo "a steady-state measurement failed" >&2; exit 1; }
done

python3 - "$raw" >"$out/idle_sources.tsv" <<'PYTHON'
import json, os, sys

raw = sys.argv[1]
kinds = ["sway", "kwin", "mutter"]

def quantile(values, q):
    v = sorted(values)
    position = q * (len(v) - 1)
    low = int(position)
    high = min(low + 1, len(v) - 1)
    return v[low] + (v[high] - v[low]) * (position - low)

def spread(values):
    return quantile(values, 0.5), quantile(values, 0.25), quantile(values, 0.75)

def verdict(limit, low, high):
    """met or MISSED when the whole spread lies on one side of an upper limit."""
    return "met" if high <= limit else ("MISSED" if low > limit else "undecided")

def reading(kind):
    """CPU ns and wake-ups of each repetition's reading, and the source's name."""
    with open(os.path.join(raw, "reading-%s.json" % kind)) as f:
        runs = [b for b in json.load(f)["benchmarks"] if b.get("run_type") == "iteration"]
    if not runs or any(b.get("error_occurred") for b in runs):
        return None
    unit = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    return ([b["cpu_time"] * unit[b.get("time_unit", "ns")] for b in runs],
            [b["wakeups_per_reading"] for b in runs], runs[0].get("label", "?"))

def steady(kind):
    """CPU % of a core and wake-ups per second of each window, peak RSS and private
    memory in MiB, stderr."""
    with open(os.path.join(raw, "steady-%s.txt" % kind)) as f:
        lines = f.read().split("\n")
    windows = [line.split() for line in lines[:6]]
    hwm, private = lines[6].split()
    return ([float(w[0]) for w in windows], [float(w[1]) for w in windows],
            int(hwm) / 1024.0, int(private) / 1024.0, "\n".join(lines[7:]).strip())

def fmt_ns(ns):
    return "%.2f us" % (ns / 1e3) if ns >= 1e3 else "%.1f ns" % ns

def ratios(ours, theirs):
    # The agents ran at once: each window's partner is the same window of the other.
    return [a / b for a, b in zip(ours, theirs) if b > 0]

def lowest(values):
    return min(values, key=lambda v: quantile(v, 0.5))

kinds = ["x11"] + kinds
readings = {kind: reading(kind) for kind in kinds}
steadies = {kind: steady(kind) for kind in kinds}
low_cpu = lowest([steadies[k][0] for k in kinds])
low_private = min(steadies[k][3] for k in kinds)
low_rss = min(steadies[k][2] for k in kinds)

rows = []
for kind in kinds:
    r = readings[kind]
    if r is None:
        rows.append(("idle reading under " + kind, "no source", "", "", "n/a", "", "0", "?"))
    else:
        cpu, wakes, name = r
        median, low, high = spread(wakes)
        rows.append(("wake-ups per idle reading, %s [%s]" % (name, kind), "%.3f" % median,
                     "(absolute goal); one reading's CPU", fmt_ns(quantile(cpu, 0.5)), "-",
                     "%.3f-%.3f" % (low, high), "0", verdict(0.005, low, high)))
    cpu, wakes, rss, private, stderr = steadies[kind]
    note = " (stderr: %s)" % stderr.replace("\n", " ") if stderr else ""
    median, low, high = spread(ratios(cpu, low_cpu))
    rows.append(("agent steady-state CPU under %s%s" % (kind, note),
                 "%.4f %% of a core" % quantile(cpu, 0.5), "lowest source's",
                 "%.4f %% of a core" % quantile(low_cpu, 0.5), "%.2fx" % median,
                 "%.2f-%.2f" % (low, high), "<= 1.1x", verdict(1.1, low, high)))
    median, low, high = spread(wakes)
    rows.append(("agent wake-ups under " + kind, "%.2f /s" % median, "(absolute goal)", "",
                 "-", "%.2f-%.2f /s" % (low, high), "<= 4.1 /s", verdict(4.1, low, high)))
    rows.append(("agent private memory under " + kind, "%.2f MiB" % private, "lowest source's",
                 "%.2f MiB" % low_private, "%+.2f MiB" % (private - low_private), "",
                 "<= +0.25 MiB", "met" if private - low_private <= 0.25 else "MISSED"))
    rows.append(("agent peak RSS under " + kind, "%.2f MiB" % rss, "lowest source's",
                 "%.2f MiB" % low_rss, "%+.2f MiB" % (rss - low_rss), "", "<= +1 MiB",
                 "met" if rss - low_rss <= 1.0 else "MISSED"))
for row in rows:
    print("\t".join(row))
PYTHON
