#!/usr/bin/env bash
# The one test command: installs what is missing, builds the normal and the sanitizer
# trees and runs every test in both.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
# intercept_tls_get_addr=0: with libpq and its Kerberos libraries loaded into a program by
# dlopen, the leak checker of this compiler's runtime reads a bogus dynamic TLS range for one of
# them at exit and crashes (Tracer caught signal 11) after every test has passed; static TLS
# and every heap block are still checked.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_tls_get_addr=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
jobs=${QORVEL_JOBS:-$(nproc)}
status=0
for kind in normal sanitize; do
  "$top/scripts/build.sh" "$kind"
  dir="$top/build"; [ "$kind" = sanitize ] && dir="$top/build-asan"
  echo "== tests ($kind build)"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
done
# The fuzz targets (clang, libFuzzer) over their seed corpus only: a few seconds.
"$top/scripts/build.sh" fuzz
echo "== fuzz targets over their corpus"
ctest --test-dir "$top/build-fuzz" -L fuzz --output-on-failure -j "$jobs" || status=1
exit $status
