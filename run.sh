#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo bank server on 127.0.0.1, makes the sandbox
# (NESTORA_ROOT, or the default one) trust its demo authority, and runs the assistant against it:
# the window when a display exists, the console otherwise. Arguments go to nestora, e.g.
#   ./run.sh --console --user-type public --json out.json
# With --server-only the bank server runs alone until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh

state=build/bank-server-state
ready="$state/ready.json"
mkdir -p "$state"
rm -f "$ready"

server_only=false
if [ "${1:-}" = "--server-only" ]; then
  server_only=true
  shift
fi

python3 tools/bank-server/bank_server.py --state "$state" --ready-file "$ready" \
  --parent-pid $$ --time-limit 86400 >/dev/null &
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
status=0
build/bin/nestora "$@" || status=$?
exit "$status"
