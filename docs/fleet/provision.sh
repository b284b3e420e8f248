#!/bin/sh
# Writes one configuration file to every controller of a list, JOBS at a time, then verifies
# every controller that was written. With STEPS=verify it only verifies: a check of the fleet.
#   provision.sh CONFIG PORTS [JOBS]
# PORTS holds one port a line (/dev/ttyUSB0, COM3, tcp://HOST:PORT, rfc2217://HOST:PORT);
# empty lines and lines starting with # are skipped. Each controller gets its own traffic log
# and messages in $LOGS (default ./logs), named after its port; $LOGS/results gets one line per
# controller and step with its exit status. Exit status 0 only when every controller was written
# and verified.
set -u
program=${ALARMCFG:-alarmcfg}
logs=${LOGS:-logs}
steps=${STEPS:-write verify}

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

# The ports of the list that were not verified as agreeing with the file.
not_verified() {
  list_ports "$1" | while read -r port; do
    grep -qxF "$port verify 0" "$logs/results" || echo "$port"
  done
}

config=$1 ports=$2 jobs=${3:-4}
mkdir -p "$logs"
: >"$logs/results"
if [ "$steps" = verify ]; then
  list_ports "$ports"
else
  list_ports "$ports" |
    xargs -d '\n' -P "$jobs" -I PORT "$0" --step write "$config" PORT
  awk '$2 == "write" && $3 == 0 { print $1 }' "$logs/results"
fi | xargs -d '\n' -r -P "$jobs" -I PORT "$0" --step verify "$config" PORT

# Drift and outage apart: verify exits 1 when the controller differs from the file, 3 when it
# could not be read in full.
differs=$(awk '$2 == "verify" && $3 == 1 { print $1 }' "$logs/results")
unreached=$(not_verified "$ports" | grep -vxF "$differs")
if [ -n "$differs" ]; then
  echo "与配置文件不一致的控制器（详见 $logs）：" >&2
  echo "$differs" >&2
fi
if [ -n "$unreached" ]; then
  echo "未能写入或读取的控制器（详见 $logs）：" >&2
  echo "$unreached" >&2
fi
[ -z "$differs$unreached" ] || exit 1
echo "全部控制器已写入并核对一致"
