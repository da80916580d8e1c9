#!/usr/bin/env bash
# Builds (when needed) and runs the main program on its embedded default settings.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" normal
if [ ! -x "$top/build/gleanex/Gleanex" ]; then
  echo "The main program is not part of this build yet; the libraries and their tests are." >&2
  exit 1
fi
exec "$top/build/gleanex/Gleanex" "$@"
