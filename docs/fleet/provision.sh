#!/bin/sh
# Writes one configuration file to every controller of a list, JOBS at a time, then verifies
# every controller that was written.
#   provision.sh CONFIG PORTS [JOBS]
# PORTS holds one port a line (/dev/ttyUSB0, COM3, tcp://HOST:PORT, rfc2217://HOST:PORT);
# empty lines and lines starting with # are skipped. Each controller gets its own traffic log
# and messages in $LOGS (default ./logs), named after its port; $LOGS/results gets one line per
# controller and step with its exit status. Exit status 0 only when every controller was written
# and verified.
set -u
program=${ALARMCFG:-alarmcfg}
logs=${LOGS:-logs}

# One step on one controller (called through xargs below): write or verify.
if [ "${1:-}" = --step ]; then
  step=$2 config=$3 port=$4
  name=$(printf '%s' "$port" | tr -c 'A-Za-z0-9._-' '_')
  "$program" --port "$port" "--$step" "$config" --log-traffic "$logs/$name.log" 2>>"$logs/$name.err"
  status=$?
  echo "$port $step $status" >>"$logs/results"
  exit "$status"
fi

# The ports of the list, without comments, blank lines, surrounding blanks or DOS line ends.
list_ports() {
  sed -e 's/\r$//' -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' "$1" | grep -v -e '^#' -e '^$'
}

config=$1 ports=$2 jobs=${3:-4}
mkdir -p "$logs"
: >"$logs/results"
list_ports "$ports" |
  xargs -d '\n' -P "$jobs" -I PORT "$0" --step write "$config" PORT
awk '$2 == "write" && $3 == 0 { print $1 }' "$logs/results" |
  xargs -d '\n' -r -P "$jobs" -I PORT "$0" --step verify "$config" PORT

failed=$(list_ports "$ports" | while read -r port; do
  grep -qxF "$port verify 0" "$logs/results" || echo "$port"
done)
if [ -n "$failed" ]; then
  echo "未完成的控制器（详见 $logs）：" >&2
  echo "$failed" >&2
  exit 1
fi
echo "全部控制器已写入并核对一致"
