#!/usr/bin/env bash
# The agent's end-to-end run under valgrind memcheck: a few seconds against the reference
# idle service with the debug log on, then a quit. Passes when memcheck finds no error and
# no definite leak and the agent ends with exit code 0 after reporting.
# Usage: valgrind_agent.sh VALGRIND AGENT IDLE_SERVICE [seconds]
set -euo pipefail
valgrind=$1 agent=$2 service=$3 seconds=${4:-4}
work=$(mktemp -d)
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export NAMED_PIPE_DIR="$work/pipe"
unset DISPLAY LANG LC_ALL
mkdir -p "$NAMED_PIPE_DIR" "$work/agent"
cp "$agent" "$work/agent/"
printf '[settings]\r\nDebuggLog=1\r\n' >"$work/agent/MKLOG.INI"
"$service" >"$work/service.out" 2>&1 &
service_pid=$!
for _ in $(seq 100); do grep -q "listening on" "$work/service.out" && break; sleep 0.05; done

# Error exit code 99 tells memcheck's findings apart from the agent's own codes.
"$valgrind" --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --track-origins=yes --log-file="$work/memcheck.log" \
  "$work/agent/$(basename "$agent")" &
agent_pid=$!
# Valgrind starts slowly: count the seconds from the agent's first report.
for _ in $(seq 600); do grep -q "TCommonIdleClient.SendIdleTime" "$work/agent/Debugg.log" 2>/dev/null && break; sleep 0.1; done
sleep "$seconds"
kill -TERM "$agent_pid"
status=0
wait "$agent_pid" || status=$?
kill -TERM "$service_pid"
wait "$service_pid" || true
service_pid=

cat "$work/memcheck.log"
traces=$(grep -c $'SchedulerAgent: TCommonIdleClient.SendIdleTime\r$' "$work/agent/Debugg.log" || true)
echo "agent exit code $status, $traces client traces in its log"
grep -q "ERROR SUMMARY: 0 errors" "$work/memcheck.log" || { echo "FAIL: memcheck found errors"; exit 1; }
grep -q "definitely lost: [1-9]" "$work/memcheck.log" && { echo "FAIL: definite leak"; exit 1; }
[ "$status" -eq 0 ] || { echo "FAIL: exit code $status"; exit 1; }
tail -c 200 "$work/agent/Debugg.log" | grep -q "SchedulerAgent: Finish" || { echo "FAIL: no Finish entry"; exit 1; }
grep -q "^reports from uid" "$work/service.out" || { echo "FAIL: the service got no report"; cat "$work/service.out"; exit 1; }
echo "memcheck clean"
