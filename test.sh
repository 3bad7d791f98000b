#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, integration, page, e2e).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
cd build
ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@"
