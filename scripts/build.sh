#!/usr/bin/env bash
# Configures and builds one tree. Usage: build.sh [normal|sanitize] (default normal).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-normal}
case "$kind" in
  normal) dir="$top/build"; extra=() ;;
  sanitize) dir="$top/build-asan"; extra=(-DQORVEL_SANITIZE=ON -DQORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  *) echo "usage: build.sh [normal|sanitize]" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$dir" -G Ninja "${extra[@]}"
cmake --build "$dir" -j "$(nproc)"
