# Sourced by the benchmark scripts that run the agent: a reference idle service of the
# run's own, and the kernel's own accounting of a process.

# start_reference_service SERVICE_BIN: makes the work folder $work (removed on exit, with
# every background job) and starts the service with its pipes in $work/pipe, where the
# agents started after it look for them.
start_reference_service() {
  work=$(mktemp -d)
  trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
  export NAMED_PIPE_DIR="$work/pipe"
  mkdir -p "$NAMED_PIPE_DIR"
  "$1" >"$work/service.out" 2>&1 &
  sleep 0.5
}

# cpu_ns PID: the CPU time the process has had, in nanoseconds.
cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }
# wakes PID: the times it has gone to sleep of its own accord (its wake-ups).
wakes() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$1/status"; }
