#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo bank server on 127.0.0.1, makes the sandbox
# (NESTORA_ROOT, or the default one) trust its demo authority, and runs the assistant against it:
# the window when a display exists, the console otherwise. Arguments go to nestora, e.g.
#   ./run.sh --console --user-type public --json out.json
# The program runs from build/demo/program beside the stand-in Haitai key library, with a
# Haitai key plugged into a USB tree of its own and its demo driver installed in the sandbox
# (tools/demo-key). Options of run.sh itself, before the program's:
#   --no-demo-key   run build/bin/nestora on the machine's USB tree instead
#   --offer-update  the server offers a newer copy of the program (1.0.0.5): the program
#                   downloads it, asks, puts it in its own place and restarts with /update
#   --server-only   run only the bank server, until Ctrl-C
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh

state=build/bank-server-state
ready="$state/ready.json"
mkdir -p "$state"
rm -f "$ready"

server_only=false
demo_key=true
server_options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --server-only) server_only=true ;;
    --no-demo-key) demo_key=false ;;
    --offer-update) server_options+=(--offer-update "build/bank-server/nestora-1.0.0.5") ;;
    *) break ;;
  esac
  shift
done
export NESTORA_ROOT="${NESTORA_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/nestora}"

python3 tools/bank-server/bank_server.py --state "$state" --ready-file "$ready" \
  --parent-pid $$ --time-limit 86400 "${server_options[@]}" >/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM

for _ in $(seq 300); do
  [ -f "$ready" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "run.sh: the bank server did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -f "$ready" ]; then
  echo "run.sh: the bank server did not get ready" >&2
  exit 1
fi

field() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$ready" "$1"; }
https_port=$(field https_port)
http_port=$(field http_port)
ca_file=$(field ca_file)

build/bin/nestora-win certutil -user -addstore Root "$ca_file" >/dev/null

echo "Demo bank server"
echo "  https://127.0.0.1:$https_port/  (configuration: https://127.0.0.1:$https_port/cfg/item.xml)"
echo "  http://127.0.0.1:$http_port/"
echo "  demo authority: $ca_file (trusted by the sandbox)"
if $server_only; then
  echo "Press Ctrl-C to stop."
  wait "$server"
  exit 0
fi

export NESTORA_BANK_HOST="127.0.0.1:$https_port"
program=build/bin/nestora
if $demo_key; then
  source tools/demo-key/demo_key.sh
  prepare_demo_key build build/demo
  program=$DEMO_PROGRAM
  echo "Demo USB key: a Haitai key is plugged in (user type 飞天一代Key; tab 高级检测, USBKey检测)."
fi
# Whether a copy of the program restarted by its self-update ("PROGRAM /update") still runs.
restarted_copy_running() {
  local expected="$1"$'\n'"/update" cmdline
  for cmdline in /proc/[0-9]*/cmdline; do
    [ "$({ tr '\0' '\n' < "$cmdline"; } 2>/dev/null | head -n 2)" = "$expected" ] && return 0
  done
  return 1
}

status=0
"$program" "$@" || status=$?
# After a self-update the new copy runs on its own: the server stays until it has ended.
program_path=$(realpath "$program")
while restarted_copy_running "$program_path"; do
  sleep 0.5
done
exit "$status"
