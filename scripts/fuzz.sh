#!/usr/bin/env bash
# Runs each fuzz target for a given time. Usage: fuzz.sh [seconds per target] [target...]
# (default 60 seconds, every target). Targets run one after another in the clang tree
# build-fuzz/; new inputs go to build-fuzz/fuzz-corpus/<target>/ (the committed seeds in
# fuzz/corpus/ are read, never written), crashes to build-fuzz/fuzz-artifacts/. Set
# FUZZ_JOBS to run that many processes per target.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(iso2709_read record_roundtrip xml_parse)
"$top/scripts/build.sh" fuzz >/dev/null
export QT_QPA_PLATFORM=offscreen
status=0
# Inputs may grow as long as the targets read: past the 2,048-byte blocks, the 99,999 budget
# and the 256,000-byte gather bound (record_roundtrip takes at most 200,000 bytes).
max_len() {
  case "$1" in
    iso2709_read) echo 300000 ;;
    record_roundtrip) echo 200000 ;;
    *) echo 65536 ;;
  esac
}
for t in "${targets[@]}"; do
  work="$top/build-fuzz/fuzz-corpus/$t"
  artifacts="$top/build-fuzz/fuzz-artifacts/$t/"
  mkdir -p "$work" "$artifacts"
  echo "== $t for ${seconds}s"
  jobs=()
  [ -n "${FUZZ_JOBS:-}" ] && jobs=(-jobs="$FUZZ_JOBS" -workers="$FUZZ_JOBS")
  "$top/build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" -print_final_stats=1 \
    -artifact_prefix="$artifacts" "${jobs[@]}" "$work" "$top/fuzz/corpus/$t" || status=1
done
exit $status
