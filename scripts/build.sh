#!/usr/bin/env bash
# Configures (once) and builds everything into build/, printing only what is not progress.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
set +e
cmake --build build -j "$(nproc)" -- --no-print-directory 2>&1 \
  | grep -vE '^\[ *[0-9]+%\] |^Consolidate compiler generated dependencies'
status=${PIPESTATUS[0]}
set -e
exit "$status"
