#!/usr/bin/env bash
# Checks what shared libraries export of the shared layers (platform, xml, com, ui).
#
#   check_exports.sh NM LIBRARY[=LAYER]...
#   check_exports.sh --expect SYMBOL NM LIBRARY[=LAYER]...
#
# Each layer is a shared library of its own and the only one that defines its symbols: a
# library given with =LAYER (libqorvel_xml.so=xml) may export definitions of that layer, any
# other library none of any layer. A definition of a layer's code or data anywhere else means
# that the layer was linked into that library once more, with state of its own.
#
# Allowed everywhere are the weak and unique copies (nm types V, v, W, w, u) of the inline
# parts of a layer's interface (the vtable and type information of a class without a key
# function, a constant such as com::IID_IUnknown, a static local of an inline function):
# every library that uses them holds one, and the loader makes them one per process.
#
# Prints the figures of each library and every symbol that breaks the rule, and fails when
# there is one. With --expect, it succeeds only when the check fails and names SYMBOL (to
# show that a planted leak is found).
set -euo pipefail

expect=
if [ "${1:-}" = --expect ]; then
  expect=$2
  shift 2
fi
[ $# -ge 2 ] || { echo "usage: check_exports.sh [--expect SYMBOL] NM LIBRARY[=LAYER]..." >&2; exit 2; }
nm=$1
shift

# Each exported definition as "TYPE LAYER NAME": LAYER is the layer whose namespace the mangled
# name starts in (special names, thunks, static locals and const or reference-qualified members
# included), "-" for any other name.
exports() {
  "$nm" -D --defined-only "$1" | awk '{ print $(NF - 1), $NF }' |
    sed -E \
      -e 's/^(\S+) (_Z(T[VISTHW]|GV|GR|Th[n0-9]+_|Tv[n0-9]+_[n0-9]+_|Tc[hv][n0-9_]+[hv][n0-9_]+)?Z?N?[KVrRO]*(8platform|3xml|3com|2ui)[0-9A-Z].*)$/\1 \4 \2/' \
      -e 's/^(\S+) [0-9]([a-z]+) /\1 \2 /' -e 't' -e 's/^(\S+) /\1 - /'
}

report=$(mktemp)
trap 'rm -f "$report"' EXIT
leaks=0 unlisted=0
for arg in "$@"; do
  lib=${arg%%=*}
  own=
  [ "$lib" = "$arg" ] || own=${arg#*=}
  if [ ! -f "$lib" ]; then
    echo "$lib: missing (not built?)" | tee -a "$report"
    leaks=$((leaks + 1))
    continue
  fi
  # nm's failure (not a shared library, a wrong nm) is a failed check, not an empty list.
  listing=$(mktemp)
  if ! exports "$lib" >"$listing"; then
    echo "$lib: its exports cannot be listed by $nm" >>"$report"
    rm -f "$listing"
    unlisted=$((unlisted + 1))
    continue
  fi
  total=0 strong=0 vague=0 bad=0
  while read -r type layer name; do
    total=$((total + 1))
    [ "$layer" != - ] || continue
    case "$type" in
      V | v | W | w | u) vague=$((vague + 1)) ;;
      *)
        if [ "$layer" = "$own" ]; then
          strong=$((strong + 1))
        else
          bad=$((bad + 1))
          printf '%s: defines %s (%s)\n' "$(basename "$lib")" "$(printf '%s\n' "$name" | c++filt)" "$type" >>"$report"
        fi
        ;;
    esac
  done <"$listing"
  rm -f "$listing"
  printf '%-22s exports %4d: own layer %s %4d, inline copies of layers %3d, leaked layer definitions %d\n' \
    "$(basename "$lib")" "$total" "${own:--}" "$strong" "$vague" "$bad"
  leaks=$((leaks + bad))
done
cat "$report"

[ "$unlisted" -eq 0 ] || { echo "$unlisted libraries whose exports could not be listed" >&2; exit 1; }
if [ -n "$expect" ]; then
  if [ "$leaks" -eq 0 ]; then
    echo "expected a leak of $expect, found none" >&2
    exit 1
  fi
  grep -qF -- "defines $expect " "$report" || { echo "expected a leak of $expect among those" >&2; exit 1; }
  echo "the planted leak $expect is found"
  exit 0
fi
[ "$leaks" -eq 0 ] || { echo "$leaks layer definitions outside their layer's library" >&2; exit 1; }
