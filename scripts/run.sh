#!/usr/bin/env bash
# Builds (when needed) and runs the main program.
#   run.sh                 the sample harvest: build/gleanex-sample with its own settings and
#                          QORVEL_HOME (a local record server with a sample catalogue)
#   run.sh --own [SOURCE]  Gleanex with build/gleanex/Gleanex.ini and your own $QORVEL_HOME
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" normal
if [ ! -x "$top/build/gleanex/Gleanex" ]; then
  echo "The main program is not part of this build yet; the libraries and their tests are." >&2
  exit 1
fi
if [ "${1:-}" = "--own" ]; then
  shift
  exec "$top/build/gleanex/Gleanex" "$@"
fi
sample="$top/build/gleanex-sample"
export QORVEL_HOME="$sample/home"
exec "$sample/Gleanex" "$sample/isbns.xlsx" "$@"
