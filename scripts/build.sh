#!/usr/bin/env bash
# Configures and builds one tree. Usage: build.sh [normal|sanitize|fuzz] (default normal).
# The fuzz tree (build-fuzz/, clang with libFuzzer) builds only the fuzz targets.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-normal}
case "$kind" in
  normal) dir="$top/build"; extra=() ;;
  sanitize) dir="$top/build-asan"; extra=(-DQORVEL_SANITIZE=ON -DQORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
  fuzz) dir="$top/build-fuzz"
        extra=(-DQORVEL_FUZZ=ON -DQORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
               -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "usage: build.sh [normal|sanitize|fuzz]" >&2; exit 2 ;;
esac
# A compiler cache speeds up rebuilds where one is installed; QORVEL_JOBS caps the parallel jobs.
if command -v ccache >/dev/null; then
  extra+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs=${QORVEL_JOBS:-$(nproc)}
cmake -S "$top" -B "$dir" -G Ninja "${extra[@]}"
if [ "$kind" = fuzz ]; then
  cmake --build "$dir" -j "$jobs" --target fuzz_iso2709_read fuzz_record_roundtrip fuzz_xml_parse
else
  cmake --build "$dir" -j "$jobs"
fi
