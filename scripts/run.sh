#!/usr/bin/env bash
# Builds the agent and the reference idle service and runs them against each other in a
# scratch folder, with the debug log on. Ctrl-C asks the agent to quit, then stops the
# service and prints the agent's log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# Idle time is read from an X display; give the run a virtual one when there is none.
if [ -z "${DISPLAY:-}" ] && [ -z "${SA_RUN_UNDER_XVFB:-}" ]; then
  scripts/deps.sh
  SA_RUN_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
[ -n "${SA_RUN_UNDER_XVFB:-}" ] || scripts/deps.sh

cmake --preset native >/dev/null
cmake --build --preset native --target SchedulerAgent idle_service

scratch=$(mktemp -d /tmp/scheduler-agent-run.XXXXXX)
export NAMED_PIPE_DIR="$scratch/pipe"
mkdir -p "$NAMED_PIPE_DIR"
cp build/native/agent/SchedulerAgent "$scratch/"
[ -d build/native/agent/locale ] && cp -r build/native/agent/locale "$scratch/"
printf '[settings]\r\nDebuggLog=1\r\n' > "$scratch/MKLOG.INI"

echo "scratch folder: $scratch (pipe folder $NAMED_PIPE_DIR)"
# The service runs in a session of its own, so Ctrl-C reaches only the agent: it must
# outlive the agent's last report.
setsid "$root/build/native/tools/idle_service/idle_service" &
service=$!
agent=""
stop() {
  trap - INT TERM
  if [ -n "$agent" ]; then
    kill -TERM "$agent" 2>/dev/null || true
    wait "$agent" && code=0 || code=$?
    echo "agent exit code: $code"
  fi
  kill -TERM "$service" 2>/dev/null || true
  wait "$service" 2>/dev/null || true
  echo "--- $scratch/Debugg.log (last 20 lines)"
  tail -n 20 "$scratch/Debugg.log" 2>/dev/null | tr -d '\r' || true
}
trap stop INT TERM

sleep 0.5
echo "agent starting; press Ctrl-C to stop"
"$scratch/SchedulerAgent" &
agent=$!
wait "$agent" && code=0 || code=$?
# Reached when the agent ended by itself (or Ctrl-C interrupted the wait).
if kill -0 "$service" 2>/dev/null; then
  agent=""
  echo "agent exit code: $code"
  stop
fi
